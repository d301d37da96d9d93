#include "app/WizardMain.h"

int main(int argc, char** argv) {
    return RunWizardProgram(argc, argv);
}
