#include "win32/win32_wmi.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <objbase.h>
#include <oleauto.h>
#include <wbemcli.h>

namespace win32 {
namespace {

template <class T>
class ComRef {
 public:
  ComRef() = default;
  ~ComRef() {
    if (m_P) m_P->Release();
  }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  T* operator->() const { return m_P; }
  T* Get() const { return m_P; }
  T** Out() { return &m_P; }

 private:
  T* m_P = nullptr;
};

class Bstr {
 public:
  explicit Bstr(const std::string& text) {
    std::wstring wide(text.begin(), text.end());  // the names and queries are ASCII
    m_B = ::SysAllocString(wide.c_str());
  }
  ~Bstr() { ::SysFreeString(m_B); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  BSTR Get() const { return m_B; }

 private:
  BSTR m_B;
};

// WMI's providers impersonate the caller; COM's default level only identifies it.
void Impersonate(IUnknown* proxy) {
  ::CoSetProxyBlanket(proxy, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                      RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
}

HRESULT Count(const std::string& nameSpace, const std::string& query, std::uint32_t* count) {
  ComRef<IWbemLocator> locator;
  HRESULT hr = ::CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IWbemLocator, reinterpret_cast<void**>(locator.Out()));
  if (FAILED(hr)) return hr;
  ComRef<IWbemServices> services;
  const Bstr resource(nameSpace);
  hr = locator->ConnectServer(resource.Get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr,
                              services.Out());
  if (FAILED(hr)) return hr;
  Impersonate(services.Get());
  ComRef<IEnumWbemClassObject> objects;
  const Bstr language("WQL"), text(query);
  hr = services->ExecQuery(language.Get(), text.Get(),
                           WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, nullptr,
                           objects.Out());
  if (FAILED(hr)) return hr;
  Impersonate(objects.Get());
  while (true) {
    IWbemClassObject* object = nullptr;
    ULONG returned = 0;
    hr = objects->Next(LONG(WBEM_INFINITE), 1, &object, &returned);
    if (FAILED(hr)) return hr;
    if (returned == 0) return S_OK;
    object->Release();
    ++*count;
  }
}

}  // namespace

os::HResult CountWmiObjects(const std::string& nameSpace, const std::string& query,
                            std::uint32_t* count) {
  *count = 0;
  // A thread that is already in another apartment stays there; COM works in either.
  const HRESULT init = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (FAILED(init) && init != RPC_E_CHANGED_MODE) return init;
  const HRESULT hr = Count(nameSpace, query, count);
  if (SUCCEEDED(init)) ::CoUninitialize();
  if (FAILED(hr)) *count = 0;
  return hr;
}

}  // namespace win32
