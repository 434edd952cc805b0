#define SDL_MAIN_HANDLED
#include "app/ZocApplication.h"
#include "app/ZocGlobals.h"

#include <cstdlib>

int main(int argc, char** argv) {
    ZocApplication::ParseCommandLineArguments(argc, argv);
    int result = ZocApplication::Run();
    // Final teardown at process end; everything in it tolerates having run.
    ZocGlobals::Finalize();
    return result == 0 ? EXIT_SUCCESS : EXIT_FAILURE;
}
