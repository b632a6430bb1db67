// talvorin-demo-package: the Talvorin product's demo setup package, its
// uninstaller and the product itself, in one program (README.md).
#include "demo.h"

namespace {

int Dispatch(const Demo::Arguments& arguments) {
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    if (arguments[i].rfind("_?=", 0) == 0) return Demo::RunUninstall(arguments);
  }
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    if (arguments[i] == "/S") return Demo::RunSetup(arguments);
  }
  return Demo::RunProduct(arguments);
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) { return Dispatch(Demo::ProcessArguments(argc, argv)); }
#else
int main(int argc, char** argv) { return Dispatch(Demo::ProcessArguments(argc, argv)); }
#endif
