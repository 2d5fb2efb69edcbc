# Sourced by the project's scripts: write_wave_conf CONF WAV writes an OpenAL Soft settings
# file CONF whose output is the wave writer, capturing everything played into WAV (16-bit
# stereo at 44.1 kHz; the header is completed when the program closes its device).
write_wave_conf() {
    cat >"$1" <<EOF
[general]
drivers = wave
frequency = 44100
channels = stereo
sample-type = int16
[wave]
file = $2
EOF
}
