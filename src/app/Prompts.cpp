#include "app/Prompts.h"

namespace trawl {

PromptAnswer SafeAnswer(PromptKind kind)
{
    switch (kind) {
    case PromptKind::Question:
    case PromptKind::Confirm:
        return PromptAnswer::No;
    case PromptKind::ThreeWay:
        return PromptAnswer::Cancel;
    case PromptKind::Error:
    case PromptKind::Warning:
    case PromptKind::Information:
    case PromptKind::Notice:
        break;
    }
    return PromptAnswer::Ok;
}

} // namespace trawl
