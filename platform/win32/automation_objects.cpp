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

  void call(std::intptr_t object, OleStringView method, const std::vector<OleString>& arguments,
            Passing passing) override {
    if (object == 0) throw AutomationError(91);  // the object was never set
    auto* dispatch = reinterpret_cast<IDispatch*>(object);
    OleString name(method);
    LPOLESTR names[] = {name.data()};
    DISPID id = DISPID_UNKNOWN;
    check_hresult(dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id));
    // The strings stay ours either way; by reference, the method sees (and
    // may replace) the cells they sit in.
    std::vector<Bstr> values;
    values.reserve(arguments.size());
    for (auto a = arguments.rbegin(); a != arguments.rend(); ++a) values.emplace_back(*a);
    std::vector<VARIANT> args(values.size());  // reversed, as Invoke wants them
    for (std::size_t i = 0; i < values.size(); ++i) {
      VariantInit(&args[i]);
      if (passing == Passing::kByReference) {
        args[i].vt = VT_BYREF | VT_BSTR;
        args[i].pbstrVal = values[i].cell();
      } else {
        args[i].vt = VT_BSTR;
        args[i].bstrVal = values[i].get();
      }
    }
    DISPPARAMS params{args.empty() ? nullptr : args.data(), nullptr, static_cast<UINT>(args.size()),
                      0};
    EXCEPINFO exception{};
    const HRESULT hr = dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                        nullptr, &exception, nullptr);
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
