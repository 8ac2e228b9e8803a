#include "TaskHResult.h"

#include "CoreError.h"

namespace OstrelinSdk
{
HRESULT HResultFromTaskException()
{
    return DescribeCurrentException();
}
} // namespace OstrelinSdk
