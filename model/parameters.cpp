#include "model/parameters.h"

namespace tolvex {

TParameters Parameters;

}  // namespace tolvex
