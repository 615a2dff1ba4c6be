#pragma once
// Security attributes that let processes of any user and integrity level open
// the queue keys, package files and upload mutexes shared by the product.
#include <windows.h>

class COpenSecurity {
public:
    COpenSecurity();
    ~COpenSecurity();
    COpenSecurity(const COpenSecurity&) = delete;
    COpenSecurity& operator=(const COpenSecurity&) = delete;

    SECURITY_ATTRIBUTES* Attributes() { return valid_ ? &attributes_ : nullptr; }

private:
    SECURITY_DESCRIPTOR descriptor_ = {};
    SECURITY_ATTRIBUTES attributes_ = {};
    PSECURITY_DESCRIPTOR labelDescriptor_ = nullptr;  // holds the SACL we borrow
    bool valid_ = false;
};
