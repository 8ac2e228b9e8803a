// HelloTask, the demo's example task: the SDK's example (sdk/example/MyTask.cpp)
// under the demo's name and CLSID.
//
//   <Hello CLSID="{5AFEBDB9-DA2E-4AD0-9B1B-951AE4BD7529}" Text="Hello from a task"/>
#include "OstrelinTask.h"

#define MY_TASK_NAME "HelloTask"
// {5AFEBDB9-DA2E-4AD0-9B1B-951AE4BD7529}
const CLSID CLSID_MyTask = {
    0x5afebdb9, 0xda2e, 0x4ad0, {0x9b, 0x1b, 0x95, 0x1a, 0xe4, 0xbd, 0x75, 0x29}};

#include "../../sdk/example/MyTask.cpp"
