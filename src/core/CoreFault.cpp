#include "CoreFault.h"

#include <utility>

ECoreFault::ECoreFault(TCoreFaultKind Kind, std::vector<std::wstring> Values)
    : Kind_(Kind), Values_(std::move(Values)) {}

const char* ECoreFault::what() const noexcept {
    switch (Kind_) {
    case TCoreFaultKind::NoFreeName:
        return "NoFreeName";
    }
    return "ECoreFault";
}
