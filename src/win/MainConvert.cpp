// The Convert button. Kept apart from Main.cpp: the batch and the progress window plug in here.
#include "Main.h"

void TMainForm::btnConvertClick() {
    // The batch over the list runs here once the progress window exists.
}
