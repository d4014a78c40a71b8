#pragma once
// What a JPEG save does to the record's markers before the JPEG writer writes them.
class TIOParamsVals;

// Rewrites the Photoshop resolution resource (8BIM 0x03ED) of the first APP13 marker with DpiX and
// DpiY (16.16 fixed point, pixels per inch). The resource's name is a padded Pascal string; nothing
// changes unless the resource and its 16 data bytes lie wholly inside the marker.
void UpdateJpegResolutionResource(TIOParamsVals& Params);

// The markers of a JPEG save: the resolution resource, then the IPTC block (rebuilt into the first
// APP13 marker when the user changed the list, or when it holds records and there are no markers),
// the EXIF block (rebuilt from the record when it has EXIF data, in place of the first APP1 EXIF
// marker) and the XMP packet (in place of the first APP1 XMP marker; none for an empty packet).
// A block too big for a marker (above 65,533 bytes) is left out, with a line in the trace log, and
// the marker it would replace goes with it (an EXIF block is first tried without its thumbnail);
// nothing is raised.
void PrepareJpegMarkers(TIOParamsVals& Params);
