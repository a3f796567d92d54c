#include "app/cli/cli.h"
#include "app/console.h"

#include <string>
#include <vector>

int main(int argc, char** argv)
{
    zelmar::console::useUtf8Output();
    std::vector<std::string> args(argv + 1, argv + argc);
    return zelmar::cli::run(args);
}
