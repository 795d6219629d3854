#include "detect.hpp"

namespace inkra {

std::string_view verdict_text(Verdict v) {
    switch (v) {
    case Verdict::Ok: return "ok";
    case Verdict::Degraded: return "degraded";
    case Verdict::NeedsOcr: return "needs_ocr";
    }
    return "needs_ocr";
}

}  // namespace inkra
