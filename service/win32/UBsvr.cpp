// UBsvr: the guard service program. It runs only under the service control
// manager, as the service "Umbrastead"; it shows and logs nothing.
#include "service/win32/ServiceHost.h"

int main() { return ub::RunServiceProgram(); }
