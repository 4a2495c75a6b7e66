// The shared library Calc loads: a factory for each add-in object kind.
#include <com/sun/star/lang/XSingleComponentFactory.hpp>
#include <cppuhelper/factory.hxx>
#include <uno/lbnames.h>

#include "calc/AddIn.h"

namespace calc {

css::uno::Sequence<rtl::OUString> ServiceNames(const char* service) {
  const rtl::OUString names[] = {rtl::OUString::createFromAscii(service), rtl::OUString::createFromAscii(kAddInService)};
  return css::uno::Sequence<rtl::OUString>(names, 2);
}

}  // namespace calc

extern "C" SAL_DLLPUBLIC_EXPORT void* SAL_CALL component_getFactory(const char* implementation, void*, void*) {
  for (const calc::Service& s : calc::Services()) {
    if (rtl_str_compare(implementation, s.implementation) != 0) continue;
    css::uno::Reference<css::lang::XSingleComponentFactory> factory = cppu::createSingleComponentFactory(
        s.create, rtl::OUString::createFromAscii(s.implementation), calc::ServiceNames(s.service));
    factory->acquire();  // the caller takes this reference over
    return factory.get();
  }
  return nullptr;
}

extern "C" SAL_DLLPUBLIC_EXPORT void SAL_CALL component_getImplementationEnvironment(const char** name,
                                                                                    uno_Environment**) {
  *name = CPPU_CURRENT_LANGUAGE_BINDING_NAME;
}
