// The test host's 32-bit coordinates, for images larger than 32767 a side.
#include "cli/HostImage.h"
#include "host/HostMemory.h"
#include "host/TestHost.h"

namespace testhost {

void TestHost::useBigDocument()
{
    if (!bigDocument) bigDocument = static_cast<BigDocumentStruct*>(hostAlloc(sizeof(BigDocumentStruct)));
    describeDocument(record, bigDocument, width, height, VRect{0, 0, height, width});
}

void TestHost::setBigFilterRect(int32 top, int32 left, int32 bottom, int32 right)
{
    describeDocument(record, bigDocument, width, height, VRect{top, left, bottom, right});
}

VRect TestHost::requestedIn() const { return requestedRects(*record, bigDocument).in; }
VRect TestHost::requestedOut() const { return requestedRects(*record, bigDocument).out; }
VRect TestHost::requestedMask() const { return requestedRects(*record, bigDocument).mask; }
bool TestHost::requestsEmpty() const { return ::requestsEmpty(requestedRects(*record, bigDocument)); }

}  // namespace testhost
