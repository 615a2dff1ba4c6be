#pragma once
// A source of hardware values for the machine identity. Each value is the
// salted MD5 of one raw hardware text, kept sorted and without duplicates.
#include <cstdint>
#include <string>
#include <vector>

namespace guid {

// Salted MD5 of one raw value, as 32 lower-case hex digits; empty raw values
// give an empty result so callers can skip them.
std::string HashSourceValue(const std::string& raw);

class HardwareManagerBase {
public:
    virtual ~HardwareManagerBase() = default;
    // 0 on success, else a source-specific failure code; the base collects nothing.
    virtual uint32_t Collect() { return 0; }

    const std::vector<std::string>& Values() const { return values_; }

protected:
    void ClearValues() { values_.clear(); }
    // Hashes a non-empty raw value and adds it; empty values are ignored.
    void AddRawValue(const std::string& raw);
    // Sorts the values by byte order and removes duplicates.
    void NormaliseValues();
    // Runs one way of reading values; when it throws, `*result` takes
    // `failure` and collection goes on with the next way.
    template <class Read>
    static void TryRead(Read read, uint32_t failure, uint32_t* result)
    {
        try {
            read();
        } catch (...) {
            *result = failure;
        }
    }

private:
    std::vector<std::string> values_;
};

}  // namespace guid
