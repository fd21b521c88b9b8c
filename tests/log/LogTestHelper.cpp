// A writer in a process of its own, for the tests of writers that share a
// file across processes.
//   log_test_helper write <log> <lines> <id>      writes lines "w<id> n<k> ..."
//   log_test_helper count <log> <counter> <times> adds 1 to the number in
//                                                 <counter> under the log's lock
//   log_test_helper die <log>                     takes the lock and dies
#include "log/NMQLogger.h"

#include <cstdlib>
#include <fstream>
#include <sched.h>
#include <string>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc < 3)
        return 2;
    std::string mode = argv[1];
    NMQLoggerStartup();
    int result = 0;
    {
        TNMQLogger log(argv[2]);
        if (mode == "write" && argc == 5) {
            int lines = std::atoi(argv[3]);
            log.ShowProcessId = true;
            for (int k = 0; k < lines; ++k)
                log.WriteFmt("w%s n%d %s", {argv[4], k, "строка целиком, без разрывов"}, lvInfo);
        } else if (mode == "count" && argc == 5) {
            int times = std::atoi(argv[4]);
            for (int k = 0; k < times; ++k) {
                log.Lock();
                long value = 0;
                {
                    std::ifstream in(argv[3]);
                    in >> value;
                }
                sched_yield();
                std::ofstream(argv[3], std::ios::trunc) << value + 1;
                log.Unlock();
            }
        } else if (mode == "die") {
            log.Lock();
            _exit(0);
        } else {
            result = 2;
        }
    }
    NMQLoggerShutdown();
    return result;
}
