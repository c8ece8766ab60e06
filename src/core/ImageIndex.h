// The images of the program's image list, shared by the list rows and the buttons.
#pragma once

enum TImageIndex : int {
    iiDocument = 0, // not shown by any control
    iiFilmReel = 1, // every list row
    iiFailed = 2,   // a row whose conversion failed
    iiAdd = 3,
    iiRemove = 4,
    iiConvert = 5,
    iiCount = 6
};
