// The oleaut32 subset on systems without it: length-prefixed strings, the
// SAFEARRAY descriptor with its feature flags and reversed bound order, and
// variants, with the same allocation and ownership rules as on Windows so that
// code written against one behaves the same on the other.
#include <cstdlib>
#include <cstring>
#include <limits>

#include "automation/ole_types.h"

namespace {

// Every descriptor is allocated with 16 spare bytes in front of it: Windows
// keeps the element type (as a 32-bit value just before the descriptor) or an
// interface identifier there.
constexpr std::size_t kDescriptorPrefix = 16;

std::uint32_t* byte_length_cell(BSTR bstr) {
  return reinterpret_cast<std::uint32_t*>(reinterpret_cast<char*>(bstr) - sizeof(std::uint32_t));
}

BSTR allocate_bstr_bytes(const void* source, std::size_t bytes) {
  if (bytes > std::numeric_limits<std::uint32_t>::max() - 16) return nullptr;
  // Length prefix, the characters, and a terminating NUL (two bytes, plus one
  // when the byte length is odd so that the terminator is a whole character).
  auto* block = static_cast<char*>(std::malloc(sizeof(std::uint32_t) + bytes + 3));
  if (block == nullptr) return nullptr;
  *reinterpret_cast<std::uint32_t*>(block) = static_cast<std::uint32_t>(bytes);
  char* data = block + sizeof(std::uint32_t);
  if (source != nullptr) {
    std::memcpy(data, source, bytes);
  } else {
    std::memset(data, 0, bytes);
  }
  std::memset(data + bytes, 0, 3);
  return reinterpret_cast<BSTR>(data);
}

ULONG element_size(VARTYPE vt) {
  switch (vt) {
    case VT_I1:
    case VT_UI1:
      return 1;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
      return 2;
    case VT_I4:
    case VT_UI4:
    case VT_R4:
    case VT_ERROR:
    case VT_INT:
    case VT_UINT:
      return 4;
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_I8:
    case VT_UI8:
      return 8;
    case VT_BSTR:
    case VT_UNKNOWN:
    case VT_DISPATCH:
      return sizeof(void*);
    case VT_VARIANT:
      return sizeof(VARIANT);
    case VT_DECIMAL:
      return 16;
    default:
      return 0;
  }
}

USHORT features_for(VARTYPE vt) {
  switch (vt) {
    case VT_BSTR:
      return FADF_BSTR | FADF_HAVEVARTYPE;
    case VT_VARIANT:
      return FADF_VARIANT | FADF_HAVEVARTYPE;
    case VT_UNKNOWN:
      return FADF_UNKNOWN | FADF_HAVEIID;
    case VT_DISPATCH:
      return FADF_DISPATCH | FADF_HAVEIID;
    default:
      return FADF_HAVEVARTYPE;
  }
}

// Number of elements over all dimensions; false when it does not fit.
bool total_elements(const SAFEARRAY* psa, std::size_t* count) {
  std::size_t n = 1;
  for (USHORT d = 0; d < psa->cDims; ++d) {
    const std::size_t e = psa->rgsabound[d].cElements;
    if (e != 0 && n > std::numeric_limits<std::size_t>::max() / e) return false;
    n *= e;
  }
  *count = n;
  return true;
}

std::size_t data_bytes(const SAFEARRAY* psa) {
  std::size_t n = 0;
  if (!total_elements(psa, &n)) return std::numeric_limits<std::size_t>::max();
  if (psa->cbElements != 0 && n > std::numeric_limits<std::size_t>::max() / psa->cbElements) {
    return std::numeric_limits<std::size_t>::max();
  }
  return n * psa->cbElements;
}

void clear_elements(SAFEARRAY* psa) {
  if (psa->pvData == nullptr) return;
  std::size_t n = 0;
  if (!total_elements(psa, &n)) return;
  if (psa->fFeatures & FADF_BSTR) {
    auto* cells = static_cast<BSTR*>(psa->pvData);
    for (std::size_t i = 0; i < n; ++i) {
      SysFreeString(cells[i]);
      cells[i] = nullptr;
    }
  } else if (psa->fFeatures & FADF_VARIANT) {
    auto* cells = static_cast<VARIANT*>(psa->pvData);
    for (std::size_t i = 0; i < n; ++i) VariantClear(&cells[i]);
  } else if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
    auto* cells = static_cast<IUnknown**>(psa->pvData);
    for (std::size_t i = 0; i < n; ++i) {
      if (cells[i] != nullptr) cells[i]->Release();
      cells[i] = nullptr;
    }
  }
}

bool header_is_caller_owned(const SAFEARRAY* psa) {
  return (psa->fFeatures & (FADF_AUTO | FADF_STATIC | FADF_EMBEDDED)) != 0;
}

}  // namespace

BSTR SysAllocString(const OLECHAR* psz) {
  if (psz == nullptr) return nullptr;
  std::size_t n = 0;
  while (psz[n] != 0) ++n;
  return allocate_bstr_bytes(psz, n * sizeof(OLECHAR));
}

BSTR SysAllocStringLen(const OLECHAR* pch, UINT cch) {
  if (cch > std::numeric_limits<std::uint32_t>::max() / sizeof(OLECHAR)) return nullptr;
  return allocate_bstr_bytes(pch, std::size_t{cch} * sizeof(OLECHAR));
}

void SysFreeString(BSTR bstr) {
  if (bstr != nullptr) std::free(byte_length_cell(bstr));
}

UINT SysStringLen(BSTR bstr) {
  return bstr == nullptr ? 0 : *byte_length_cell(bstr) / sizeof(OLECHAR);
}

void VariantInit(VARIANT* pvarg) {
  std::memset(pvarg, 0, sizeof(VARIANT));
  pvarg->vt = VT_EMPTY;
}

HRESULT VariantClear(VARIANT* pvarg) {
  if (pvarg == nullptr) return E_INVALIDARG;
  const VARTYPE vt = pvarg->vt;
  HRESULT hr = S_OK;
  if ((vt & VT_BYREF) == 0) {
    if (vt & VT_ARRAY) {
      if (pvarg->parray != nullptr) hr = SafeArrayDestroy(pvarg->parray);
    } else if (vt == VT_BSTR) {
      SysFreeString(pvarg->bstrVal);
    } else if (vt == VT_UNKNOWN || vt == VT_DISPATCH) {
      if (pvarg->punkVal != nullptr) pvarg->punkVal->Release();
    }
  }
  if (FAILED(hr)) return hr;
  std::memset(pvarg, 0, sizeof(VARIANT));
  pvarg->vt = VT_EMPTY;
  return S_OK;
}

HRESULT SafeArrayAllocDescriptor(UINT cDims, SAFEARRAY** ppsaOut) {
  if (ppsaOut == nullptr) return E_POINTER;
  *ppsaOut = nullptr;
  if (cDims == 0 || cDims > 0xFFFF) return E_INVALIDARG;
  const std::size_t bytes =
      kDescriptorPrefix + sizeof(SAFEARRAY) + (cDims - 1) * sizeof(SAFEARRAYBOUND);
  auto* block = static_cast<char*>(std::calloc(1, bytes));
  if (block == nullptr) return E_OUTOFMEMORY;
  auto* psa = reinterpret_cast<SAFEARRAY*>(block + kDescriptorPrefix);
  psa->cDims = static_cast<USHORT>(cDims);
  *ppsaOut = psa;
  return S_OK;
}

HRESULT SafeArrayAllocDescriptorEx(VARTYPE vt, UINT cDims, SAFEARRAY** ppsaOut) {
  const ULONG size = element_size(vt);
  if (size == 0) return E_INVALIDARG;
  HRESULT hr = SafeArrayAllocDescriptor(cDims, ppsaOut);
  if (FAILED(hr)) return hr;
  SAFEARRAY* psa = *ppsaOut;
  psa->cbElements = size;
  psa->fFeatures = features_for(vt);
  if (psa->fFeatures & FADF_HAVEVARTYPE) reinterpret_cast<DWORD*>(psa)[-1] = vt;
  return S_OK;
}

HRESULT SafeArrayAllocData(SAFEARRAY* psa) {
  if (psa == nullptr) return E_INVALIDARG;
  const std::size_t bytes = data_bytes(psa);
  if (bytes == std::numeric_limits<std::size_t>::max()) return E_OUTOFMEMORY;
  psa->pvData = std::calloc(1, bytes == 0 ? 1 : bytes);
  return psa->pvData == nullptr ? E_OUTOFMEMORY : S_OK;
}

SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound) {
  if (rgsabound == nullptr) return nullptr;
  SAFEARRAY* psa = nullptr;
  if (FAILED(SafeArrayAllocDescriptorEx(vt, cDims, &psa))) return nullptr;
  // The descriptor keeps the bounds in reverse order: the last dimension first.
  for (UINT i = 0; i < cDims; ++i) psa->rgsabound[cDims - 1 - i] = rgsabound[i];
  if (FAILED(SafeArrayAllocData(psa))) {
    SafeArrayDestroyDescriptor(psa);
    return nullptr;
  }
  return psa;
}

HRESULT SafeArrayDestroyData(SAFEARRAY* psa) {
  if (psa == nullptr) return E_INVALIDARG;
  if (psa->cLocks != 0) return DISP_E_ARRAYISLOCKED;
  clear_elements(psa);
  if (psa->pvData != nullptr && !header_is_caller_owned(psa)) {
    std::free(psa->pvData);
    psa->pvData = nullptr;
  }
  return S_OK;
}

HRESULT SafeArrayDestroyDescriptor(SAFEARRAY* psa) {
  if (psa == nullptr) return E_INVALIDARG;
  if (psa->cLocks != 0) return DISP_E_ARRAYISLOCKED;
  if (!header_is_caller_owned(psa)) std::free(reinterpret_cast<char*>(psa) - kDescriptorPrefix);
  return S_OK;
}

HRESULT SafeArrayDestroy(SAFEARRAY* psa) {
  if (psa == nullptr) return S_OK;
  if (psa->cLocks != 0) return DISP_E_ARRAYISLOCKED;
  HRESULT hr = SafeArrayDestroyData(psa);
  if (FAILED(hr)) return hr;
  return SafeArrayDestroyDescriptor(psa);
}

HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound) {
  if (psa == nullptr || plLbound == nullptr) return E_INVALIDARG;
  if (nDim == 0 || nDim > psa->cDims) return DISP_E_BADINDEX;
  *plLbound = psa->rgsabound[psa->cDims - nDim].lLbound;
  return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound) {
  if (psa == nullptr || plUbound == nullptr) return E_INVALIDARG;
  if (nDim == 0 || nDim > psa->cDims) return DISP_E_BADINDEX;
  const SAFEARRAYBOUND& b = psa->rgsabound[psa->cDims - nDim];
  *plUbound = static_cast<LONG>(static_cast<std::int64_t>(b.lLbound) + b.cElements - 1);
  return S_OK;
}
