#include "host/Descriptors.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

namespace testhost {

DescriptorSuite* DescriptorSuite::current = nullptr;

DescriptorValue integerValue(int32 v) { return {typeInteger, v, 0.0, 0, 0, {}}; }
DescriptorValue floatValue(double v) { return {typeFloat, 0, v, 0, 0, {}}; }
DescriptorValue unitFloatValue(uint32 unit, double v) { return {typeUnitFloat, 0, v, unit, 0, {}}; }
DescriptorValue booleanValue(bool v) { return {typeBoolean, v ? 1 : 0, 0.0, 0, 0, {}}; }
DescriptorValue enumeratedValue(uint32 enumeration, uint32 v) { return {typeEnumerated, 0, 0.0, enumeration, v, {}}; }
DescriptorValue objectValue(uint32 objectClass, DescriptorItems items)
{
    return {typeObject, 0, 0.0, objectClass, 0, std::move(items)};
}

namespace {

// ---- The byte form: per item its key, its type, then its payload. ----

void put32(std::vector<uint8>& out, uint32 v)
{
    for (int i = 0; i < 4; ++i) out.push_back(uint8(v >> (8 * i)));
}
void putReal(std::vector<uint8>& out, double v)
{
    uint8 bytes[8];
    std::memcpy(bytes, &v, 8);
    out.insert(out.end(), bytes, bytes + 8);
}

void encode(const DescriptorItems& items, std::vector<uint8>& out)
{
    for (const auto& [key, v] : items) {
        put32(out, key);
        put32(out, v.type);
        if (v.type == typeInteger || v.type == typeBoolean) put32(out, uint32(v.integer));
        if (v.type == typeFloat) putReal(out, v.real);
        if (v.type == typeUnitFloat) {
            put32(out, v.unit);
            putReal(out, v.real);
        }
        if (v.type == typeEnumerated) {
            put32(out, v.unit);
            put32(out, v.enumValue);
        }
        if (v.type == typeObject) {
            std::vector<uint8> inner;
            encode(v.items, inner);
            put32(out, v.unit);
            put32(out, uint32(inner.size()));
            out.insert(out.end(), inner.begin(), inner.end());
        }
    }
}

struct Reader {
    const uint8* at;
    size_t left;
    bool take(void* to, size_t n)
    {
        if (n > left) return false;
        std::memcpy(to, at, n);
        at += n;
        left -= n;
        return true;
    }
    bool u32(uint32* v) { return take(v, 4); }
};

// The items of `bytes` as far as they are whole; false when they stop short.
bool decode(const uint8* bytes, size_t size, DescriptorItems* items)
{
    Reader r{bytes, size};
    while (r.left > 0) {
        uint32 key = 0;
        DescriptorValue v;
        if (!r.u32(&key) || !r.u32(&v.type)) return false;
        bool whole = true;
        if (v.type == typeInteger || v.type == typeBoolean) whole = r.take(&v.integer, 4);
        if (v.type == typeFloat) whole = r.take(&v.real, 8);
        if (v.type == typeUnitFloat) whole = r.u32(&v.unit) && r.take(&v.real, 8);
        if (v.type == typeEnumerated) whole = r.u32(&v.unit) && r.u32(&v.enumValue);
        if (v.type == typeObject) {
            uint32 length = 0;
            whole = r.u32(&v.unit) && r.u32(&length) && length <= r.left && decode(r.at, length, &v.items);
            if (whole) {
                r.at += length;
                r.left -= length;
            }
        }
        if (!whole) return false;
        items->emplace_back(key, std::move(v));
    }
    return true;
}

// ---- Tokens: a reader's or a writer's state, owned by the suite. ----

struct ReadState {
    DescriptorItems items;
    size_t next = 0;  // items given so far; the current one is next - 1
    DescriptorKeyID* keys;
    OSErr sticky = noErr;
};
struct WriteState {
    DescriptorItems items;
};

std::vector<std::unique_ptr<ReadState>> reads;
std::vector<std::unique_ptr<WriteState>> writes;

ReadState* readState(PIReadDescriptor token)
{
    for (auto& s : reads)
        if (reinterpret_cast<PIReadDescriptor>(s.get()) == token) return s.get();
    return nullptr;
}
WriteState* writeState(PIWriteDescriptor token)
{
    for (auto& s : writes)
        if (reinterpret_cast<PIWriteDescriptor>(s.get()) == token) return s.get();
    return nullptr;
}

// The item the last getKey reported, if it has `type`; else the sticky error.
const DescriptorValue* current(PIReadDescriptor token, DescriptorTypeID type)
{
    ReadState* s = readState(token);
    if (!s || s->next == 0 || s->next > s->items.size()) return nullptr;
    const DescriptorValue& v = s->items[s->next - 1].second;
    if (v.type == type) return &v;
    s->sticky = paramErr;
    return nullptr;
}

template <typename T> OSErr pinned(T* value, T low, T high)
{
    if (*value < low)
        *value = low;
    else if (*value > high)
        *value = high;
    else
        return noErr;
    return coercedParamErr;
}

Handle newHostHandle(TestHost& host, const std::vector<uint8>& bytes)
{
    Handle h = host.handleProcs().newProc(int32(bytes.size()));
    if (h && !bytes.empty()) std::memcpy(host.handleProcs().lockProc(h, false), bytes.data(), bytes.size());
    return h;
}

DescriptorItems itemsIn(TestHost& host, Handle h, bool* whole)
{
    DescriptorItems items;
    const int32 size = h ? host.handleProcs().getSizeProc(h) : 0;
    const auto* bytes = size > 0 ? static_cast<const uint8*>(host.handleProcs().lockProc(h, false)) : nullptr;
    *whole = decode(bytes, bytes ? size_t(size) : 0, &items);
    return items;
}

// ---- The read procedures. ----

PIReadDescriptor NIMBULO_CDECL openRead(PIDescriptorHandle h, DescriptorKeyID* keys)
{
    DescriptorSuite* suite = DescriptorSuite::current;
    if (!h) return nullptr;
    auto state = std::make_unique<ReadState>();
    bool whole = true;
    state->items = suite->itemsOf(h, &whole);
    // A handle that stops inside an item reads as far as it goes, then errs.
    if (!whole) state->sticky = readErr;
    state->keys = keys;
    suite->readsOpen++;
    reads.push_back(std::move(state));
    return reinterpret_cast<PIReadDescriptor>(reads.back().get());
}

OSErr NIMBULO_CDECL closeRead(PIReadDescriptor token)
{
    ReadState* s = readState(token);
    if (!s) return paramErr;
    OSErr e = s->sticky;
    for (DescriptorKeyID* k = s->keys; e == noErr && k && *k; ++k)
        if (*k != typeNull) e = errMissingParameter;
    DescriptorSuite::current->readsOpen--;
    reads.erase(std::find_if(reads.begin(), reads.end(), [&](auto& r) { return r.get() == s; }));
    return e;
}

Boolean NIMBULO_CDECL getKey(PIReadDescriptor token, DescriptorKeyID* key, DescriptorTypeID* type, int32* flags)
{
    ReadState* s = readState(token);
    if (!s || s->next >= s->items.size()) return false;
    const auto& [k, v] = s->items[s->next++];
    *key = k;
    *type = v.type;
    *flags = 0;
    for (DescriptorKeyID* slot = s->keys; slot && *slot; ++slot)
        if (*slot == k) *slot = typeNull;  // found: marked as the open hosts do
    return true;
}

OSErr NIMBULO_CDECL getPinnedInteger(PIReadDescriptor token, int32 low, int32 high, int32* v)
{
    const DescriptorValue* d = current(token, typeInteger);
    if (!d) return paramErr;
    *v = d->integer;
    return pinned(v, low, high);
}

OSErr NIMBULO_CDECL getInteger(PIReadDescriptor token, int32* v)
{
    return getPinnedInteger(token, INT32_MIN, INT32_MAX, v);
}

OSErr NIMBULO_CDECL getPinnedFloat(PIReadDescriptor token, const double* low, const double* high, double* v)
{
    const DescriptorValue* d = current(token, typeFloat);
    if (!d) return paramErr;
    *v = d->real;
    return pinned(v, *low, *high);
}

OSErr NIMBULO_CDECL getFloat(PIReadDescriptor token, double* v)
{
    const DescriptorValue* d = current(token, typeFloat);
    if (!d) return paramErr;
    *v = d->real;
    return noErr;
}

OSErr NIMBULO_CDECL getPinnedUnitFloat(PIReadDescriptor token, const double* low, const double* high,
                                       DescriptorUnitID* unit, double* v)
{
    const DescriptorValue* d = current(token, typeUnitFloat);
    if (!d) return paramErr;
    // Some hosts take the unit asked for and refuse a value in another.
    if (*unit != 0 && *unit != d->unit) return readState(token)->sticky = paramErr;
    *unit = d->unit;
    *v = d->real;
    return pinned(v, *low, *high);
}

OSErr NIMBULO_CDECL getUnitFloat(PIReadDescriptor token, DescriptorUnitID* unit, double* v)
{
    const double low = -HUGE_VAL, high = HUGE_VAL;
    *unit = 0;
    return getPinnedUnitFloat(token, &low, &high, unit, v);
}

OSErr NIMBULO_CDECL getBoolean(PIReadDescriptor token, Boolean* v)
{
    const DescriptorValue* d = current(token, typeBoolean);
    if (!d) return paramErr;
    *v = d->integer != 0;
    return noErr;
}

OSErr NIMBULO_CDECL getEnumerated(PIReadDescriptor token, DescriptorEnumID* v)
{
    const DescriptorValue* d = current(token, typeEnumerated);
    if (!d) return paramErr;
    *v = d->enumValue;
    return noErr;
}

OSErr NIMBULO_CDECL getObject(PIReadDescriptor token, DescriptorTypeID* type, PIDescriptorHandle* h)
{
    const DescriptorValue* d = current(token, typeObject);
    if (!d) return paramErr;
    *type = d->unit;
    *h = DescriptorSuite::current->makeHandle(d->items);
    return *h ? noErr : memFullErr;
}

// ---- The write procedures. ----

PIWriteDescriptor NIMBULO_CDECL openWrite()
{
    writes.push_back(std::make_unique<WriteState>());
    DescriptorSuite::current->writesOpen++;
    return reinterpret_cast<PIWriteDescriptor>(writes.back().get());
}

OSErr NIMBULO_CDECL closeWrite(PIWriteDescriptor token, PIDescriptorHandle* h)
{
    WriteState* s = writeState(token);
    if (!s || !h) return paramErr;
    *h = DescriptorSuite::current->makeHandle(s->items);
    DescriptorSuite::current->writesOpen--;
    writes.erase(std::find_if(writes.begin(), writes.end(), [&](auto& w) { return w.get() == s; }));
    return *h ? noErr : memFullErr;
}

OSErr putValue(PIWriteDescriptor token, DescriptorKeyID key, DescriptorValue v)
{
    WriteState* s = writeState(token);
    if (!s) return paramErr;
    s->items.emplace_back(key, std::move(v));
    return noErr;
}

OSErr NIMBULO_CDECL putInteger(PIWriteDescriptor t, DescriptorKeyID k, int32 v)
{
    return putValue(t, k, integerValue(v));
}
OSErr NIMBULO_CDECL putFloat(PIWriteDescriptor t, DescriptorKeyID k, const double* v)
{
    return putValue(t, k, floatValue(*v));
}
OSErr NIMBULO_CDECL putUnitFloat(PIWriteDescriptor t, DescriptorKeyID k, DescriptorUnitID u, const double* v)
{
    return putValue(t, k, unitFloatValue(u, *v));
}
OSErr NIMBULO_CDECL putBoolean(PIWriteDescriptor t, DescriptorKeyID k, Boolean v)
{
    return putValue(t, k, booleanValue(v != 0));
}
OSErr NIMBULO_CDECL putEnumerated(PIWriteDescriptor t, DescriptorKeyID k, DescriptorTypeID e, DescriptorEnumID v)
{
    return putValue(t, k, enumeratedValue(e, v));
}
// The host copies the object: the plug-in keeps its handle.
OSErr NIMBULO_CDECL putObject(PIWriteDescriptor t, DescriptorKeyID k, DescriptorTypeID c, PIDescriptorHandle h)
{
    return putValue(t, k, objectValue(c, DescriptorSuite::current->itemsOf(h)));
}

}  // namespace

DescriptorSuite::DescriptorSuite(TestHost& h) : host(h), previous(current)
{
    current = this;
    readProcs.numReadDescriptorProcs = 18;
    readProcs.openReadDescriptorProc = openRead;
    readProcs.closeReadDescriptorProc = closeRead;
    readProcs.getKeyProc = getKey;
    readProcs.getIntegerProc = getInteger;
    readProcs.getFloatProc = getFloat;
    readProcs.getUnitFloatProc = getUnitFloat;
    readProcs.getBooleanProc = getBoolean;
    readProcs.getEnumeratedProc = getEnumerated;
    readProcs.getObjectProc = getObject;
    readProcs.getPinnedIntegerProc = getPinnedInteger;
    readProcs.getPinnedFloatProc = getPinnedFloat;
    readProcs.getPinnedUnitFloatProc = getPinnedUnitFloat;
    writeProcs.numWriteDescriptorProcs = 16;
    writeProcs.openWriteDescriptorProc = openWrite;
    writeProcs.closeWriteDescriptorProc = closeWrite;
    writeProcs.putIntegerProc = putInteger;
    writeProcs.putFloatProc = putFloat;
    writeProcs.putUnitFloatProc = putUnitFloat;
    writeProcs.putBooleanProc = putBoolean;
    writeProcs.putEnumeratedProc = putEnumerated;
    writeProcs.putObjectProc = putObject;
    params.readDescriptorProcs = &readProcs;
    params.writeDescriptorProcs = &writeProcs;
    params.playInfo = plugInDialogDisplay;
    params.recordInfo = plugInDialogOptional;
    host.record->descriptorParameters = &params;
    host.record->errorString = errorText;
}

DescriptorSuite::~DescriptorSuite()
{
    if (params.descriptor) host.handleProcs().disposeProc(params.descriptor);
    host.record->descriptorParameters = nullptr;
    host.record->errorString = nullptr;
    current = previous;
}

Handle DescriptorSuite::makeHandle(const DescriptorItems& items, size_t cut)
{
    std::vector<uint8> bytes;
    encode(items, bytes);
    bytes.resize(bytes.size() - std::min(cut, bytes.size()));
    return newHostHandle(host, bytes);
}

DescriptorItems DescriptorSuite::itemsOf(Handle h, bool* whole) const
{
    bool read = true;
    return itemsIn(host, h, whole ? whole : &read);
}

DescriptorItems DescriptorSuite::takeRecorded()
{
    DescriptorItems items = itemsOf(params.descriptor);
    if (params.descriptor) host.handleProcs().disposeProc(params.descriptor);
    params.descriptor = nullptr;
    return items;
}

}  // namespace testhost
