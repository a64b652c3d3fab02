#include "engine/parameters.h"

namespace tolvex {

TParameters Parameters;

}  // namespace tolvex
