#include "platform/Prompts.h"

#include "platform/ScriptedPrompts.h"

namespace {
Prompts *g_installed = nullptr; // UI thread
Prompts *g_default = nullptr;   // UI thread
} // namespace

Prompts &Prompts::Current() {
    if (g_installed)
        return *g_installed;
    if (g_default)
        return *g_default;
    // Without a display nothing may block: a process that installed nothing
    // (a tool, a test that forgot) gets answers that change nothing.
    static ScriptedPrompts fallback;
    return fallback;
}

void Prompts::Install(Prompts *p) {
    g_installed = p;
}
Prompts *Prompts::Installed() {
    return g_installed;
}
void Prompts::SetDefault(Prompts *p) {
    g_default = p;
}
