#include "platform/automation_objects.h"

#include "automation/bstr.h"
#include "automation/error.h"

namespace corvane::platform {

namespace {

class Win32AutomationObjects final : public AutomationObjects {
 public:
  std::intptr_t create(OleStringView prog_id) override {
    const OleString terminated(prog_id);
    CLSID clsid{};
    if (FAILED(CLSIDFromProgID(terminated.c_str(), &clsid))) throw AutomationError(429);
    IDispatch* object = nullptr;
    const HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IDispatch,
                                        reinterpret_cast<void**>(&object));
    if (FAILED(hr) || object == nullptr) throw AutomationError(429);
    // Kept for the life of the apartment: never released, since the apartment
    // may be gone by the time this component lets go of its values.
    return reinterpret_cast<std::intptr_t>(object);
  }

  void call(std::intptr_t object, OleStringView method,
            const std::vector<OleString>& arguments) override {
    if (object == 0) throw AutomationError(91);  // the object was never set
    auto* dispatch = reinterpret_cast<IDispatch*>(object);
    OleString name(method);
    LPOLESTR names[] = {name.data()};
    DISPID id = DISPID_UNKNOWN;
    check_hresult(dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id));
    std::vector<VARIANT> args(arguments.size());
    for (std::size_t i = 0; i < arguments.size(); ++i) {  // reversed, as Invoke wants them
      VariantInit(&args[i]);
      args[i].vt = VT_BSTR;
      args[i].bstrVal = Bstr(arguments[arguments.size() - 1 - i]).release();
    }
    DISPPARAMS params{args.empty() ? nullptr : args.data(), nullptr, static_cast<UINT>(args.size()),
                      0};
    EXCEPINFO exception{};
    const HRESULT hr = dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                        nullptr, &exception, nullptr);
    for (VARIANT& a : args) VariantClear(&a);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    check_hresult(hr);
  }
};

}  // namespace

AutomationObjects& AutomationObjects::system() {
  static Win32AutomationObjects objects;
  return objects;
}

}  // namespace corvane::platform
