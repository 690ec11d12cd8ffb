#pragma once

namespace playback {

class PlayerForm;

// Plays the play-list entry at the form's position and moves the position on, wrapping to the
// first entry after the last. Errors are skipped step by step.
void PlayNextInOrder(PlayerForm& form);

// Plays a random entry other than the file played last (FileNotToRepeat), and remembers it. When
// no entry differs from that file, the drawn entry plays again (or nothing, for an empty list).
// Errors reach the caller.
void PlayRandomPick(PlayerForm& form);

} // namespace playback
