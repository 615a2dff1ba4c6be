#pragma once
// The parts of a report package: a header and a body, each able to serialise
// itself and to write itself into an open file.
#include <windows.h>

#include <cstdint>
#include <string>

class ParamBase;

class Component {
public:
    virtual ~Component() = default;
    // With a null or too small buffer: stores the needed size and returns 0.
    // Otherwise fills the buffer, stores the size written and returns 1.
    virtual int Serialize(uint8_t* buffer, uint32_t* length) = 0;
    // Writes the serialised part at the file's position; the changed flag is
    // cleared only when every byte went out. Returns the bytes written.
    virtual uint32_t WriteTo(HANDLE file);
    virtual void SetChanged(int changed) { changed_ = changed; }
    virtual int IsChanged() { return changed_; }
    virtual void Clear() {}
    virtual int ApplyParam(const ParamBase& param) { return 0; }
    // Whether the last WriteTo put every byte of the part into the file.
    bool WriteComplete() const { return writeComplete_; }

protected:
    int changed_ = 0;
    bool writeComplete_ = false;
};

class Headerbase : public Component {};

class Bodybase : public Component {
public:
    virtual int Reserved0() { return 0; }
    virtual int AddLine(const std::wstring& line) { return 0; }
    virtual int Reserved1() { return 0; }
    virtual int Reserved2() { return 0; }
    virtual int SetTextItem(uint32_t id, const std::wstring& text) { return 0; }
    virtual int SetIntItem(uint32_t id, int32_t value) { return 0; }
    virtual int Increment(uint32_t id) { return 0; }
};
