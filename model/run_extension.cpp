#include "model/run_extension.h"

namespace tolvex {

TExtension Extension;

}  // namespace tolvex
