#pragma once
// What every add-in object of the component is beside its functions: a UNO
// service that Calc finds by name, its functions run through one table.
#include <vector>

#include <com/sun/star/lang/XServiceInfo.hpp>
#include <com/sun/star/lang/XServiceName.hpp>
#include <com/sun/star/uno/RuntimeException.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>
#include <cppuhelper/implbase3.hxx>
#include <cppuhelper/supportsservice.hxx>

#include "calc/Convert.h"

namespace calc {

// Calc looks for its add-ins among the implementations of this service.
constexpr const char* kAddInService = "com.sun.star.sheet.AddIn";

css::uno::Sequence<rtl::OUString> ServiceNames(const char* service);

template <class Interface>
class AddIn : public cppu::WeakImplHelper3<Interface, css::lang::XServiceName, css::lang::XServiceInfo> {
 public:
  AddIn(const sheet::Table& table, const char* service, const char* implementation)
      : table_(table), service_(service), implementation_(implementation) {}

  rtl::OUString SAL_CALL getServiceName() override { return rtl::OUString::createFromAscii(service_); }
  rtl::OUString SAL_CALL getImplementationName() override { return rtl::OUString::createFromAscii(implementation_); }
  sal_Bool SAL_CALL supportsService(const rtl::OUString& name) override { return cppu::supportsService(this, name); }
  css::uno::Sequence<rtl::OUString> SAL_CALL getSupportedServiceNames() override { return ServiceNames(service_); }

 protected:
  // The worksheet function of this name, called with Calc's arguments.
  css::uno::Any Run(const char* name, const css::uno::Any* const* args, std::size_t count) {
    const sheet::Function* function = nullptr;
    try {
      function = &table_.Find(name);
    } catch (...) {
      throw css::uno::RuntimeException("no such function");  // the IDL and the table out of step
    }
    return Call(*function, args, count);
  }

 private:
  const sheet::Table& table_;
  const char* service_;
  const char* implementation_;
};

// One add-in object kind of the component (written by calc_generate).
struct Service {
  const char* implementation;
  const char* service;
  css::uno::Reference<css::uno::XInterface>(SAL_CALL* create)(const css::uno::Reference<css::uno::XComponentContext>&);
};
const std::vector<Service>& Services();

}  // namespace calc
