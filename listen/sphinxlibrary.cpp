#include "listen/sphinxlibrary.h"

#include <dlfcn.h>

namespace chimewell::listen {

namespace {

struct Loaded
{
    SphinxLibrary api{};
    QString error;
    bool ok = false;
};

template<typename F>
bool resolve(void *handle, const char *name, F &slot, QString *missing)
{
    slot = reinterpret_cast<F>(dlsym(handle, name));
    if (!slot && missing->isEmpty())
        *missing = QString::fromLatin1(name);
    return slot != nullptr;
}

Loaded load()
{
    Loaded l;
    // Never closed: the decoder's memory and the leak checker's names need it to stay.
    void *handle = dlopen(SphinxLibrary::kFile, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char *why = dlerror();
        l.error = QStringLiteral("the speech recogniser (%1) cannot be loaded: %2")
                      .arg(QLatin1String(SphinxLibrary::kFile), QString::fromLocal8Bit(why ? why : "unknown error"));
        return l;
    }
    SphinxLibrary &a = l.api;
    QString missing;
    // dlsym on the handle also searches what the library depends on (sphinxbase).
#define CHIMEWELL_RESOLVE(f) resolve(handle, #f, a.f, &missing)
    const bool all = CHIMEWELL_RESOLVE(cmd_ln_init) & CHIMEWELL_RESOLVE(cmd_ln_free_r) & CHIMEWELL_RESOLVE(ckd_free)
                     & CHIMEWELL_RESOLVE(ps_args) & CHIMEWELL_RESOLVE(ps_init) & CHIMEWELL_RESOLVE(ps_free)
                     & CHIMEWELL_RESOLVE(ps_add_word) & CHIMEWELL_RESOLVE(ps_lookup_word)
                     & CHIMEWELL_RESOLVE(ps_set_jsgf_string) & CHIMEWELL_RESOLVE(ps_set_search)
                     & CHIMEWELL_RESOLVE(ps_unset_search) & CHIMEWELL_RESOLVE(ps_start_utt)
                     & CHIMEWELL_RESOLVE(ps_process_raw) & CHIMEWELL_RESOLVE(ps_end_utt)
                     & CHIMEWELL_RESOLVE(ps_get_in_speech) & CHIMEWELL_RESOLVE(ps_get_hyp)
                     & CHIMEWELL_RESOLVE(ps_get_n_frames) & CHIMEWELL_RESOLVE(ps_seg_iter)
                     & CHIMEWELL_RESOLVE(ps_seg_next) & CHIMEWELL_RESOLVE(ps_seg_word) & CHIMEWELL_RESOLVE(ps_seg_frames)
                     & CHIMEWELL_RESOLVE(ps_seg_prob);
#undef CHIMEWELL_RESOLVE
    if (!all) {
        l.error = QStringLiteral("the speech recogniser (%1) lacks %2()").arg(QLatin1String(SphinxLibrary::kFile), missing);
        return l;
    }
    l.ok = true;
    return l;
}

} // namespace

const SphinxLibrary *SphinxLibrary::get(QString *error)
{
    static const Loaded loaded = load(); // thread-safe, once
    if (!loaded.ok && error)
        *error = loaded.error;
    return loaded.ok ? &loaded.api : nullptr;
}

} // namespace chimewell::listen
