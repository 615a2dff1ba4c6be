#pragma once
// Enables one privilege on the process token; a refusal is not an error for
// any caller, so nothing is returned.
void TryEnablePrivilege(const wchar_t* name);
