#include "shell/batch_progress.h"

namespace {

BatchProgress *current = nullptr;

} // namespace

void SetBatchProgress(BatchProgress *progress) {
    current = progress;
}

BatchProgress *CurrentBatchProgress() {
    return current;
}
