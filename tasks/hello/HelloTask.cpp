// HelloTask, the demo's example task: the SDK's example (sdk/example/MyTask.cpp)
// under the demo's name and CLSID (CMakeLists.txt).
//
//   <Hello CLSID="{5AFEBDB9-DA2E-4AD0-9B1B-951AE4BD7529}" Text="Hello from a task"/>
#include "../../sdk/example/MyTask.cpp"
