#pragma once
// The registry side of the report store: the Temp key (packages being
// written) and the Processing key (the upload queue). Both keys are shared by
// every process of the product on the machine; failed writes are ignored.
#include <string>
#include <utility>
#include <vector>

using QueueEntry = std::pair<std::wstring, std::wstring>;  // value name, upload address

// Writes (creating the key when needed) one REG_SZ value.
bool WriteQueueValue(const std::wstring& keyPath, const std::wstring& name, const std::wstring& data);
// Reads one REG_SZ value of at most maxBytes; empty when missing or not text.
std::wstring ReadQueueValue(const std::wstring& keyPath, const std::wstring& name, size_t maxBytes);
bool DeleteQueueValue(const std::wstring& keyPath, const std::wstring& name);
// REG_SZ values with a non-empty name, in enumeration order. Values whose name
// is longer than maxNameChars or whose data is longer than maxDataBytes are skipped.
std::vector<QueueEntry> ListQueueValues(const std::wstring& keyPath, size_t maxNameChars, size_t maxDataBytes);
// Number of values of the key; 0 when it cannot be opened.
unsigned CountQueueValues(const std::wstring& keyPath);
