#pragma once

#include <QString>

#include <pocketsphinx.h>

// pocketsphinx, loaded at run time on the first Listen rather than linked: the
// library and what it pulls in (lapack, blas, gfortran...) would otherwise sit in
// every clock's memory although most users never speak to it. Only the types of
// its headers are used here; every call goes through this table.
namespace chimewell::listen {

struct SphinxLibrary
{
    decltype(&::cmd_ln_init) cmd_ln_init;
    decltype(&::cmd_ln_free_r) cmd_ln_free_r;
    decltype(&::ckd_free) ckd_free;
    decltype(&::ps_args) ps_args;
    decltype(&::ps_init) ps_init;
    decltype(&::ps_free) ps_free;
    decltype(&::ps_add_word) ps_add_word;
    decltype(&::ps_lookup_word) ps_lookup_word;
    decltype(&::ps_set_jsgf_string) ps_set_jsgf_string;
    decltype(&::ps_set_search) ps_set_search;
    decltype(&::ps_unset_search) ps_unset_search;
    decltype(&::ps_start_utt) ps_start_utt;
    decltype(&::ps_process_raw) ps_process_raw;
    decltype(&::ps_end_utt) ps_end_utt;
    decltype(&::ps_get_in_speech) ps_get_in_speech;
    decltype(&::ps_get_hyp) ps_get_hyp;
    decltype(&::ps_get_n_frames) ps_get_n_frames;
    decltype(&::ps_seg_iter) ps_seg_iter;
    decltype(&::ps_seg_next) ps_seg_next;
    decltype(&::ps_seg_word) ps_seg_word;
    decltype(&::ps_seg_frames) ps_seg_frames;
    decltype(&::ps_seg_prob) ps_seg_prob;

    // The library, loaded the first time it is asked for (from any thread) and
    // kept until exit; null when it or one of its functions is missing, with
    // `error` saying why (the same answer every time).
    static const SphinxLibrary *get(QString *error);
    // The file loaded (the package libpocketsphinx3 installs it).
    static constexpr const char *kFile = "libpocketsphinx.so.3";
};

} // namespace chimewell::listen
