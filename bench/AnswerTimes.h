#pragma once
// How quickly the real program's window answers while it monitors every
// second, with the server answering, hanging, and flapping between answering
// and refusing.

#include "bench/Plan.h"

#include <string>

namespace bench {

std::string AnswerTimesSection(const Plan& P);

}  // namespace bench
