// tnl_service: the tunnel service's control program (commands in control_program.h).
#include "tnl/service/control_program.h"

int main(int argc, char** argv) {
    return tnl_service::ControlMain(argc, argv);
}
