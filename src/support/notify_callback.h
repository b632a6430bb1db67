// The installer's one notification function type, shared by the downloaders,
// the remover, the package runner and the orchestrator.
#pragma once

#include <cstdint>
#include <functional>

// (code, value, text). `text` is never null (an empty text is ""), and is
// valid only during the call: the receiver copies what it keeps.
using NotifyCallback = std::function<void(std::int32_t code, double value, const wchar_t* text)>;
