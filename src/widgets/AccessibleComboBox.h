#pragma once
// Qt on Linux names a combo box after its current item, so a screen reader announces
// "SSL/TLS (port 995)" where it should say what the box is for. A box given here is named
// by its accessible name (or its label) instead, and tells its current item as its value.
class QComboBox;

void AnnounceByItsName(QComboBox* box);  // for boxes that cannot be typed into
