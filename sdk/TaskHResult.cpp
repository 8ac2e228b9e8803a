#include "TaskHResult.h"

#include "CoreError.h"
#include "CoreText.h"

#include <new>

namespace OstrelinSdk
{
HRESULT HResultFromTaskException()
{
    HRESULT hr = E_UNEXPECTED;
    try
    {
        throw;
    }
    catch (const std::bad_alloc&)
    {
        hr = E_OUTOFMEMORY;
    }
    catch (const CCoreError& error)
    {
        hr = error.GetHResult();
    }
    catch (const CAtlException& error)
    {
        hr = error.m_hr;
    }
    catch (...)
    {
    }
    return FAILED(hr) ? hr : E_FAIL;
}
} // namespace OstrelinSdk
