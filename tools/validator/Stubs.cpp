#include "tools/validator/WinSupport.h"
void CheckState(CCheckLog&, const Options&) {}
void CheckLifecycle(CCheckLog&, const Options&) {}
void CheckConcurrency(CCheckLog&, const Options&) {}
