#pragma once

#include <QString>

namespace chimewell::listen {

// The recogniser's phones (ARPAbet, as the en-us model spells them: "CH AY M W EH L")
// for espeak-ng's phoneme names separated by '_' ("tS_'aI_m_w_E_l"). Empty when a
// phoneme has no counterpart, so that a word is left out rather than mispronounced.
QString arpabetFromEspeak(const QString &phonemes);

} // namespace chimewell::listen
