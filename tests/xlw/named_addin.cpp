// The smallest add-in for the framework's tests: the framework's entry
// points and a long name for Excel's add-in manager, nothing else. Built
// once with the name and once without (TEST_ADDIN_NAME undefined).
#include "xlw/Registry.h"

#if defined(TEST_ADDIN_NAME)
namespace {
const xlw::XLRegistration::XLAddinNameRegistration kName(TEST_ADDIN_NAME);
}  // namespace
#endif
