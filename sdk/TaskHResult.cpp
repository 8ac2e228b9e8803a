#include "TaskHResult.h"

#include "CoreError.h"

HRESULT HResultFromTaskException()
{
    return DescribeCurrentException();
}
