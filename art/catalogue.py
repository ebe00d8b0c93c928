"""The starter station catalogue and the shipped settings files.

Every station: stream URL, title, engine flag, and how its badge is drawn
(big letters, caption, colours, motif). Station files and settings are
Windows-1251 text with CR LF line ends."""

import os

# (url, title, badge)
STATIONS = [
    ("https://stream.radioparadise.com/aac-320", "Radio Paradise",
     dict(big="RP", small="RADIO PARADISE", bg=["#ffb347", "#f2604b", "#7b2a6b"], fg="#fff7e6",
          band="#4a1640", motif="sun", font="adventor-bold")),
    ("https://ice1.somafm.com/groovesalad-128-mp3", "SomaFM Groove Salad",
     dict(big="GROOVE", small="SALAD \u2022 SOMAFM", bg=["#c6e86b", "#5aa83a", "#1f5a2a"], fg="#ffffff",
          band="#173f1e", motif="vinyl", font="gothic-demi")),
    ("http://ice1.somafm.com/dronezone-128-mp3", "SomaFM Drone Zone",
     dict(big="DRONE", small="ZONE \u2022 SOMAFM", bg=["#3a4f8f", "#17204a", "#070a1c"], fg="#cfe3ff",
          band="#05071a", motif="ripples", font="adventor-bold")),
    ("https://kexp-mp3-128.streamguys1.com/kexp128.mp3", "KEXP 90.3 Seattle",
     dict(big="KEXP", small="90.3 SEATTLE", bg=["#3fc1b0", "#17857d", "#0b4a4a"], fg="#fff4c2",
          band="#083636", motif="tower", font="sans-bold")),
    ("https://stream.wqxr.org/wqxr", "WQXR 105.9 Classical New York",
     dict(big="WQXR", small="CLASSICAL", bg=["#a8324a", "#6e1428", "#3a0714"], fg="#f6d98a",
          band="#2a040d", motif="notes", font="serif-bold")),
    ("https://st01.sslstream.dlf.de/dlf/01/128/mp3/stream.mp3", "Deutschlandfunk",
     dict(big="DLF", small="DEUTSCHLANDFUNK", bg=["#6f8294", "#3d4b59", "#1d252e"], fg="#ffffff",
          band="#ff8a1f", band_fg="#1d252e", motif="wave", font="sans-bold")),
    ("https://st02.sslstream.dlf.de/dlf/02/high/aac/stream.aac", "Deutschlandfunk Kultur",
     dict(big="Kultur", small="DEUTSCHLANDFUNK", bg=["#f3a6d0", "#b43c8c", "#5b1450"], fg="#ffffff",
          band="#3d0c36", motif="circles", font="serif-italic")),
    ("http://stream.srg-ssr.ch/m/rsj/aacp_96", "Radio Swiss Jazz",
     dict(big="JAZZ", small="RADIO SWISS", bg=["#4a4a52", "#1e1e24", "#0a0a0d"], fg="#ffc247",
          band="#000000", motif="keys", font="bookman")),
    ("http://stream.srg-ssr.ch/m/rsc_de/mp3_128", "Radio Swiss Classic",
     dict(big="Classic", small="RADIO SWISS", bg=["#fffaf0", "#efe3c8", "#cdb98d"], fg="#24305e",
          band="#24305e", band_fg="#fdf6e3", motif="staff", font="serif-italic")),
    ("https://icecast.radiofrance.fr/fip-hifi.aac", "FIP Paris",
     dict(big="FIP", small="PARIS", bg=["#4b7bff", "#2746c9", "#111f6b"], fg="#ffffff",
          band="#ff6f61", band_fg="#111f6b", motif="bars", font="gothic-demi")),
    ("http://ubuntu.hbr1.com:19800/ambient.ogg", "HBR1 Dream Factory (Ambient)",
     dict(big="HBR1", small="AMBIENT", bg=["#b89cf0", "#6a45b8", "#2a1660"], fg="#fdfbff",
          band="#1d0e45", motif="moon", font="adventor-bold")),
    ("http://ubuntu.hbr1.com:19800/trance.ogg", "HBR1 Tranceponder (Trance)",
     dict(big="HBR1", small="TRANCE", bg=["#1a2a33", "#0c1418", "#020405"], fg="#5ff5ff",
          band="#00c2d6", band_fg="#021014", motif="pulse", font="adventor-bold")),
]

CONFIG = [
    ("check_updates", "0"),
    ("open_last", "0"),
    ("start_volume", "25"),
    ("last_number", "-1"),
    ("autorun", "0"),
    ("buffer", "3"),
    ("equalizer", "0"),
]

FLAT_BAND = "15"


def _write_lines(path, lines):
    with open(path, "wb") as f:
        for line in lines:
            f.write(line.encode("cp1251") + b"\r\n")


def write_text_files(data):
    lines = []
    for key, value in CONFIG:
        lines += [key, value]
    _write_lines(os.path.join(data, "config.txt"), lines)
    _write_lines(os.path.join(data, "equalizer.txt"), [FLAT_BAND] * 10)
    for number, (url, title, _badge) in enumerate(STATIONS, start=1):
        _write_lines(os.path.join(data, "Stations", "play%d.txt" % number), [url, title, "0"])
