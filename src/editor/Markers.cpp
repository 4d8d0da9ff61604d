#include "editor/Markers.h"

void Markers::Marker1Click() {}
void Markers::NextMarker1Click() {}
void Markers::PreviousMarker1Click() {}
void Markers::Nexterrormark1Click() {}
void Markers::PreviouserrorMark1Click() {}
