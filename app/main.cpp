#include "app/main_entry.h"

int main(int argc, char* argv[]) {
    return RunQuillon(argc, argv);
}
