#!/usr/bin/env python3
"""Writes vocabulary.txt, the demo voice banks' table (clip id, codec, text).

Every id the guidance sentence builder and the shell's prompts speak gets a
clip; the rest of the base range 101-1600 is filled with short neutral
phrases so the base bank has the current (1375 clips or more) form. Codecs
mix within every bank: one clip in ten raw PCM, five speech frames, four Ogg
Vorbis. Run it again after changing the tables below.
"""
import os

clips = {}

def put(i, text):
    clips[i] = text

def metres(d):
    if d < 1000:
        return f"{d}미터"
    km = d / 1000
    return f"{km:g}킬로미터"

# Alarm range.
put(3, "띵동"); put(4, "딩동 딩동"); put(5, "삐삐")
put(6, "전방에"); put(7, "카메라 지점입니다"); put(10, "경로를 재탐색합니다")
put(15, "알림"); put(18, "이번 분기점은"); put(20, "딩동")

# Distance phrase sets A, B and C.
for base, tail in ((544, "앞"), (609, "앞에서"), (674, "후")):
    for i in range(30):
        put(base + i, f"{metres((i + 1) * 10)} {tail}")
    for i in range(5):
        put(base + 29 + i, f"{metres(300 + 50 * i)} {tail}")
    for i in range(26):
        put(base + 33 + i, f"{metres(500 + 100 * i)} {tail}")
    for i, d in enumerate((3200, 3400, 3500, 3600, 3800, 4000)):
        put(base + 59 + i, f"{metres(d)} {tail}")
for i in range(11):
    put(739 + i, f"{metres(4500 + 500 * i)} 앞")
for i in range(91):
    put(750 + i, f"{10 + i}킬로미터 앞")
for i in range(41):
    put(840 + i, f"{100 + 10 * i}킬로미터 앞")
for i in range(51):
    put(959 + i, f"{50 + i}킬로미터")
for i in range(50):
    put(1050 + i, f"{1 + i}킬로미터")
put(521, "잠시 후")

# Turn phrases: the phrase of the turn class of the first code that speaks it.
turn_classes = {
    "직진": "3-8 10 34 37-38 97 122 131-148",
    "좌회전": "19 23-24 36 109 119 151 153-154",
    "우회전": "13 35 108 118 150 152",
    "급한 좌회전": "17-18", "비스듬한 좌회전": "20-21", "비스듬한 우회전": "11-12",
    "급한 우회전": "14-15", "피턴": "22 39",
    "오른쪽 고속도로 입구": "100 110", "왼쪽 고속도로 입구": "101 111",
    "직진방향 고속도로 입구": "102 106 112 116", "오른쪽 고속도로 출구": "103 113 125-126",
    "왼쪽 고속도로 출구": "104 114 129-130", "직진방향 고속도로 출구": "105 107 115 117",
    "오른쪽 도로": "30 32 98 120 123-124", "왼쪽 도로": "31 33 99 121 127-128",
    "왼쪽 지하도로로 진입": "64 72 74", "왼쪽 고가도로로 진입": "44 52 54", "터널로 진입": "96",
    "지하도로 옆 오른쪽 도로로 진입": "61 69-70", "고가도로 옆 오른쪽 도로로 진입": "41 49-50",
    "고가도로 옆 왼쪽 도로로 진입": "42 47-48", "휴게소": "93 155", "유턴": "16 25-29",
    "로터리에서 1시방향": "81-82", "로터리에서 3시방향": "83", "로터리에서 5시방향": "84-85",
    "로터리에서 유턴": "86", "로터리에서 7시방향": "87-88", "로터리에서 9시방향": "89",
    "로터리에서 11시방향": "90-91", "로터리에서 12시방향": "80 92",
    "지하도로 옆 왼쪽 도로로 진입": "62 67-68", "오른쪽 지하차도 진입": "63 71 73",
    "오른쪽 고가도로 진입": "43 51 53", "톨게이트": "94-95", "지하차도 진입": "60 65-66",
    "고가차도 진입": "40 45-46 55",
}
code_phrase = {}
for phrase, codes in turn_classes.items():
    for part in codes.split():
        lo, _, hi = part.partition("-")
        for c in range(int(lo), int(hi or lo) + 1):
            code_phrase[c] = phrase
for c in range(301, 318):
    code_phrase[c] = f"경유지 {max(1, c - 301)}"
for c in (318, 319, 320):
    code_phrase[c] = "목적지"
turn_table = ("3 201; 5 202; 6 203; 7 202; 8 203; 11-12 210; 13 205; 14-15 212; 16 214; 17-18 206; "
    "19 204; 20-21 208; 22 215; 23 218; 24 219; 25 220; 26 214; 27 221; 28 222; 29 214; 30 253; 31 260; "
    "32 253; 33 260; 34 223; 35 205; 36 204; 37 224; 38 225; 39 216; 40 288; 41 280; 42 281; 43 290; "
    "44 291; 45-46 288; 47-48 281; 49-50 280; 51 290; 52 291; 53 290; 54 291; 55 293; 60 284; 61 283; "
    "62 282; 63 286; 64 287; 65-66 284; 67-68 282; 69-70 283; 71 286; 72 287; 73 286; 74 287; 80 271; "
    "81-82 264; 83 265; 84-85 266; 86 267; 87-88 268; 89 269; 90-91 270; 92 271; 93 227; 94-95 263; "
    "96 226; 97 223; 98 253; 99 260; 100 228; 101 229; 102 231; 103 244; 104 249; 105 238; 106 231; "
    "107 238; 108 460; 109 458; 110 232; 111 233; 112 235; 113 244; 114 249; 115 243; 116 235; 117 243; "
    "118 461; 119 459; 120 318; 121 319; 122 320; 123 254; 124 255; 125 245; 126 246; 127 261; 128 262; "
    "129 250; 130 251; 131 409; 132 410; 133 411; 134 412; 135 413; 136 414; 137 415; 138 416; 139 417; "
    "140 418; 141 408; 142 409; 143 410; 144 411; 145 412; 146 413; 147 418; 148 419; 150 205; 151 204; "
    "152 205; 153-154 204; 155 227; 301 296; 302 297; 303 298; 304 299; 305 300; 306 301; 307 302; "
    "308 303; 309 304; 310 305; 311 306; 312 307; 313 308; 314 309; 315 310; 316 311; 317 312; 318-320 295")
for entry in turn_table.split("; "):
    codes, ident = entry.split()
    lo, _, hi = codes.partition("-")
    ident = int(ident)
    if ident not in clips:
        phrase = code_phrase[int(lo)]
        put(ident, phrase + ("입니다" if int(lo) >= 300 else ""))
# Turns spoken otherwise than by the table, and the connectives.
for i, text in {
        1545: "왼쪽 방향", 1546: "오른쪽 방향", 446: "오른쪽", 447: "왼쪽", 543: "방면입니다",
        448: "차로로 진입", 492: "우회전", 493: "좌회전", 494: "유턴",
        519: "방향", 520: "에서", 531: "에서", 532: "에서", 522: "이어서",
        540: "오른쪽", 541: "왼쪽", 542: "직진 방향", 230: "고속도로 입구입니다",
        234: "도시고속도로 입구입니다"}.items():
    put(i, text)
for n in range(1, 11):
    put(430 + n, f"{n}차로")

# Tolls, prices and high-pass lanes.
put(524, "통행료는"); put(423, "무료입니다"); put(427, "요금 정보가 없습니다")
for i in range(19):
    put(1253 + i, f"{50 * (i + 1)}원입니다")
for d in range(1, 10):
    put(1272 + d - 1, f"{d}천원입니다"); put(1219 + d - 1, f"{d}천")
    put(1282 + d - 1, f"{d}만원입니다"); put(1228 + d - 1, f"{d}만")
    put(1292 + d - 1, f"{d}십만원입니다"); put(1237 + d - 1, f"{d}십만")
put(538, "하이패스"); put(1317, "하이패스 차로는"); put(420, "하이패스 전용 차로는")
put(1318, "하이패스 겸용 차로는"); put(479, "입니다")
put(2001, "하이패스 차로는"); put(2004, "번"); put(2008, "차로입니다")
for n in range(1, 21):
    put(1900 + n, f"{n}")
put(1508, "통행권을 받으세요"); put(424, "요금소를 지났습니다")

# Rest areas.
put(517, "다음 휴게소까지"); put(518, "입니다"); put(422, "다음 휴게소는 멉니다")
put(421, "이후 휴게소가 없습니다"); put(463, "졸음 쉼터입니다")

# Cameras and limits.
camera_kind = {487: "신호 위반 단속", 366: "이동식 단속", 368: "버스 전용 차로 단속", 466: "과적 단속",
    371: "갓길 단속", 467: "구간 단속 시작", 468: "구간 단속 끝", 1309: "신호 단속", 1304: "주차 단속",
    1305: "꼬리물기 단속", 1306: "끼어들기 단속", 369: "방범 카메라", 1303: "교통 정보 수집",
    1308: "안전띠 단속", 363: "사고 다발 지역", 364: "급커브 구간", 361: "어린이 보호 구역",
    360: "철도 건널목", 354: "낙석 주의 구간", 357: "과속 방지턱", 346: "안개 지역",
    349: "급경사 구간", 358: "노인 보호 구역", 324: "결빙 주의 구간", 362: "야생동물 출현 구간",
    344: "터널 구간", 1310: "단속 카메라"}
for i, text in camera_kind.items():
    put(i, text + "입니다")
for i in range(10):
    put(383 + i, f"제한속도 {30 + 10 * i}킬로미터")
put(469, "구간 단속이 끝났습니다"); put(470, "구간 단속이 끝났습니다"); put(341, "연속으로")
put(1321, "분기점"); put(1323, "나들목"); put(1314, "입니다"); put(1322, "이 지역은"); put(1518, "지점입니다")

# The shell's prompts and greetings.
put(471, "경로 안내를 시작합니다"); put(476, "경유지를 지났습니다"); put(477, "목적지에 도착했습니다")
put(484, "모의 주행을 시작합니다"); put(505, "위성 신호를 잡았습니다")
for i, text in {1549: "안녕하세요", 1550: "좋은 하루 되세요", 1533: "안전 운전 하세요",
                1538: "반갑습니다", 1539: "오늘도 즐거운 운전 되세요", 1504: "출발합니다",
                1522: "환영합니다"}.items():
    put(i, text)

# The rest of the base range: short neutral phrases, so the bank has the
# current lane form.
for i in range(101, 1601):
    clips.setdefault(i, "안내")

# Extended bank: spoken names and area slogans.
extended = ["한빛로", "중앙로", "강변북로", "서해안고속도로", "경부고속도로", "한빛나들목",
            "중앙분기점", "한빛휴게소", "새말휴게소", "한빛시청", "서울 방면", "부산 방면",
            "졸음운전은 사고의 지름길입니다", "안전띠를 매세요", "어린이 보호구역입니다"]
for n, text in enumerate(extended):
    put(3001 + n, text)

def codec(i):
    r = i % 10
    return 0 if r == 0 else (1 if r <= 5 else 2)

here = os.path.dirname(os.path.abspath(__file__))
with open(os.path.join(here, "vocabulary.txt"), "w", encoding="utf-8") as f:
    f.write("# The demo voice banks: clip id, codec (0 raw PCM, 1 speech frames, 2 Ogg Vorbis), text.\n")
    f.write("# Written by make_vocabulary.py; tools/voice_bank_writer speaks each text with espeak-ng.\n")
    for i in sorted(clips):
        f.write(f"{i}\t{codec(i)}\t{clips[i]}\n")
print(len(clips), "clips;", sum(1 for i in clips if 101 <= i <= 3000), "in the base bank")
