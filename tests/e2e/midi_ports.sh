# Sourced after lib.sh by the tests that run the real program against real
# ALSA ports: starting it, and reading the picture it draws in its window.

screenshot() { import -window "$(window_id "$TITLE")" "$WORK/$1.png"; }
# Width of the lit run through the window's centre, where the middle sphere
# (note 60) stays however the grid turns.
centre_width() {
  convert "$WORK/$1.png" -crop 640x1+0+240 -depth 8 txt:- | awk -F'[,:() ]+' '
    NR > 1 { lit[$1] = ($3 + $4 + $5) > 0 }
    END { l = 320; while (l > 0 && lit[l - 1]) l--; r = 320; while (r < 639 && lit[r + 1]) r++; print lit[320] ? r - l + 1 : 0 }'
}
# width_now NAME: takes a screenshot and prints the middle sphere's width.
width_now() {
  screenshot "$1"
  centre_width "$1"
}
first_frame_drawn() { [ "$(width_now first)" -gt 0 ]; }
grown_beyond() { [ "$(width_now big)" -gt "$1" ]; }
shrunk_to() { [ "$(width_now small)" -le "$1" ]; }
ports_open() { aconnect -l | grep -q "Connecting To"; }
centre_rgb() { convert "$WORK/$1.png" -crop 1x1+320+240 -depth 8 txt:- | awk -F'[()]' 'NR == 2 { print $2 }'; }

# start_program: starts $program and waits for its ports and its first frame.
# Its standard input holds one line, the answer to the prompt of a MIDI
# failure, as at a terminal: the failure's text and status are then all.
start_program() {
  "$program" <<<"" >"$WORK/stdout" 2>"$WORK/stderr" &
  app=$!
  PIDS+=("$app")
  wait_until 60 ports_open || fail "the ports were never opened"
  wait_until 60 window_exists "$TITLE" || fail "no window"
  # The first frame can take seconds where OpenGL is emulated in software.
  wait_until 120 first_frame_drawn || fail "no frame was drawn"
}
