// zampoplay: plays the MP3 files of a folder in a shuffled order, endlessly.
#include "frmPlayer.h"

int main(int argc, char** argv) {
    return runtime::RunProgram<zampoplay::frmPlayer>(argc, argv, u"Zampolo");
}
