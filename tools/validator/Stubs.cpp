#include "tools/validator/WinSupport.h"
void CheckLifecycle(CCheckLog&, const Options&) {}
void CheckConcurrency(CCheckLog&, const Options&) {}
