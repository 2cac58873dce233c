#pragma once

#include <string>

namespace trawl {

// The kinds of message box the program shows. Each front end maps them onto its own dialogs.
enum class PromptKind {
    Error,       // error icon, OK; modal for the whole desktop session where the platform allows
    Warning,     // exclamation icon, OK
    Information, // information icon, OK
    Notice,      // no icon, OK
    Question,    // question icon, Yes and No
    Confirm,     // no icon, Yes and No
    ThreeWay,    // no icon, Yes, No and Cancel
};

enum class PromptAnswer { Ok, Yes, No, Cancel };

// Message boxes. The texts and captions are made by the core, so every front end says the same words;
// a front end only shows them and returns the user's answer. May be called from any thread.
class Prompts {
public:
    virtual ~Prompts() = default;
    virtual PromptAnswer Show(PromptKind kind, const std::string& caption, const std::string& text) = 0;
};

// The answer given without asking: No to questions and confirmations (nothing is discarded or
// overwritten on an assumption), Cancel to three-way questions, Ok to the rest.
PromptAnswer SafeAnswer(PromptKind kind);

} // namespace trawl
