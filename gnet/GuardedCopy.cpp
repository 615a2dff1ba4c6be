#include "gnet/GuardedCopy.h"

#include <windows.h>

#include <cstdint>
#include <cstring>

// The copy itself: whole words, then the remaining bytes. It has two places
// where a write can fault, and one place to resume at, which the handler
// below recognises. Returns 0, or 1 when the handler resumed it after a fault.
extern "C" {
int gnet_guarded_copy(void* destination, const void* source, size_t size);
extern const char gnet_guarded_copy_words[];
extern const char gnet_guarded_copy_bytes[];
extern const char gnet_guarded_copy_resume[];
}

#if defined(__x86_64__)
// Microsoft x64 convention: destination, source and size in rcx, rdx, r8.
// rdi and rsi belong to the caller; they wait in r9 and r10, so the routine
// never touches the stack.
asm(".text\n"
    ".globl gnet_guarded_copy\n"
    ".def gnet_guarded_copy; .scl 2; .type 32; .endef\n"
    "gnet_guarded_copy:\n"
    "    movq %rdi, %r9\n"
    "    movq %rsi, %r10\n"
    "    movq %rcx, %rdi\n"
    "    movq %rdx, %rsi\n"
    "    xorl %eax, %eax\n"
    "    cld\n"
    "    movq %r8, %rcx\n"
    "    shrq $3, %rcx\n"
    ".globl gnet_guarded_copy_words\n"
    "gnet_guarded_copy_words:\n"
    "    rep movsq\n"
    "    movq %r8, %rcx\n"
    "    andq $7, %rcx\n"
    ".globl gnet_guarded_copy_bytes\n"
    "gnet_guarded_copy_bytes:\n"
    "    rep movsb\n"
    ".globl gnet_guarded_copy_resume\n"
    "gnet_guarded_copy_resume:\n"
    "    movq %r9, %rdi\n"
    "    movq %r10, %rsi\n"
    "    ret\n");
#define GNET_CONTEXT_PC Rip
#define GNET_CONTEXT_RESULT Rax
#else
asm(".text\n"
    ".globl _gnet_guarded_copy\n"
    ".def _gnet_guarded_copy; .scl 2; .type 32; .endef\n"
    "_gnet_guarded_copy:\n"
    "    pushl %edi\n"
    "    pushl %esi\n"
    "    movl 12(%esp), %edi\n"
    "    movl 16(%esp), %esi\n"
    "    movl 20(%esp), %edx\n"
    "    xorl %eax, %eax\n"
    "    cld\n"
    "    movl %edx, %ecx\n"
    "    shrl $2, %ecx\n"
    ".globl _gnet_guarded_copy_words\n"
    "_gnet_guarded_copy_words:\n"
    "    rep movsl\n"
    "    movl %edx, %ecx\n"
    "    andl $3, %ecx\n"
    ".globl _gnet_guarded_copy_bytes\n"
    "_gnet_guarded_copy_bytes:\n"
    "    rep movsb\n"
    ".globl _gnet_guarded_copy_resume\n"
    "_gnet_guarded_copy_resume:\n"
    "    popl %esi\n"
    "    popl %edi\n"
    "    ret\n");
#define GNET_CONTEXT_PC Eip
#define GNET_CONTEXT_RESULT Eax
#endif

namespace gnet {
namespace {

// What the current thread is copying into, while it copies.
struct GuardedRange {
    uintptr_t start;
    uintptr_t end;
};

// A handler for the whole process that takes only faults of a guarded copy:
// raised at one of the copy's two write instructions, on a thread that has
// a guarded range, at an address inside it. Windows raises a page the disk
// cannot back as EXCEPTION_IN_PAGE_ERROR, Wine as EXCEPTION_ACCESS_VIOLATION.
// Anything else goes on to the next handler untouched.
class CCopyGuard {
public:
    CCopyGuard() : tls_(TlsAlloc()), handler_(nullptr) {
        if (tls_ != TLS_OUT_OF_INDEXES) handler_ = AddVectoredExceptionHandler(1, &CCopyGuard::Handler);
    }
    bool Ready() const { return handler_ != nullptr; }
    DWORD Slot() const { return tls_; }
    static CCopyGuard& Instance() {
        static CCopyGuard guard;
        return guard;
    }

private:
    static LONG CALLBACK Handler(EXCEPTION_POINTERS* info) {
        const EXCEPTION_RECORD* record = info->ExceptionRecord;
        if (record->ExceptionCode != EXCEPTION_ACCESS_VIOLATION && record->ExceptionCode != EXCEPTION_IN_PAGE_ERROR)
            return EXCEPTION_CONTINUE_SEARCH;
        CONTEXT* context = info->ContextRecord;
        uintptr_t at = context->GNET_CONTEXT_PC;
        if (at != reinterpret_cast<uintptr_t>(gnet_guarded_copy_words) &&
            at != reinterpret_cast<uintptr_t>(gnet_guarded_copy_bytes))
            return EXCEPTION_CONTINUE_SEARCH;
        DWORD lastError = GetLastError();
        const GuardedRange* range = static_cast<const GuardedRange*>(TlsGetValue(Instance().Slot()));
        SetLastError(lastError);
        if (!range) return EXCEPTION_CONTINUE_SEARCH;
        if (record->NumberParameters >= 2) {
            uintptr_t address = record->ExceptionInformation[1];
            if (address != 0 && (address < range->start || address >= range->end)) return EXCEPTION_CONTINUE_SEARCH;
        }
        context->GNET_CONTEXT_PC = reinterpret_cast<uintptr_t>(gnet_guarded_copy_resume);
        context->GNET_CONTEXT_RESULT = 1;
        return EXCEPTION_CONTINUE_EXECUTION;
    }

    DWORD tls_;
    void* handler_;
};

}  // namespace

bool GuardedCopy(void* destination, const void* source, size_t size) {
    if (size == 0) return true;
    CCopyGuard& guard = CCopyGuard::Instance();
    if (!guard.Ready()) {
        memcpy(destination, source, size);
        return true;
    }
    GuardedRange range = {reinterpret_cast<uintptr_t>(destination), reinterpret_cast<uintptr_t>(destination) + size};
    void* previous = TlsGetValue(guard.Slot());
    TlsSetValue(guard.Slot(), &range);
    int faulted = gnet_guarded_copy(destination, source, size);
    TlsSetValue(guard.Slot(), previous);
    return faulted == 0;
}

}  // namespace gnet
