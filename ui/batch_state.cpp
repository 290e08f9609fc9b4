#include "ui/batch_state.h"

namespace ui {

BatchState Batch;

} // namespace ui
