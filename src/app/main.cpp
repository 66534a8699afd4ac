#include "app/startup.h"

int main(int argc, char** argv) {
    return ruvuvuri::app::RunProgram(argc, argv);
}
