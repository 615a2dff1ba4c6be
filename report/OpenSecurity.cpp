#include "report/OpenSecurity.h"

#include <sddl.h>

COpenSecurity::COpenSecurity()
{
    if (!InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION)) return;
    if (!SetSecurityDescriptorDacl(&descriptor_, TRUE, nullptr, FALSE)) return;
    // Low integrity label, where the system knows about labels.
    if (ConvertStringSecurityDescriptorToSecurityDescriptorW(L"S:(ML;;;;;LW)", SDDL_REVISION_1,
                                                             &labelDescriptor_, nullptr)) {
        PACL sacl = nullptr;
        BOOL present = FALSE, defaulted = FALSE;
        if (GetSecurityDescriptorSacl(labelDescriptor_, &present, &sacl, &defaulted) && present)
            SetSecurityDescriptorSacl(&descriptor_, TRUE, sacl, FALSE);
    }
    attributes_.nLength = sizeof(attributes_);
    attributes_.lpSecurityDescriptor = &descriptor_;
    attributes_.bInheritHandle = FALSE;
    valid_ = true;
}

COpenSecurity::~COpenSecurity()
{
    if (labelDescriptor_) LocalFree(labelDescriptor_);
}
