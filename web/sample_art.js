// The art the page opens with: a small landscape drawn with each kind of
// shape the importer reads, so a first drag shows curves, corners and fills.
export const SAMPLE_SVG = `<svg xmlns="http://www.w3.org/2000/svg" width="640" height="420">
  <rect id="sky" x="20" y="20" width="600" height="380" rx="24" fill="#dceefb" stroke="#5b7c99" stroke-width="2"/>
  <circle id="sun" cx="500" cy="110" r="50" fill="#ffd23f" stroke="#e0a100" stroke-width="3"/>
  <path id="hills" d="M20 300 C 120 200, 220 200, 300 280 S 480 230, 620 290 V 400 H 20 Z" fill="#7bc67e" stroke="#3f8f45" stroke-width="2"/>
  <polygon id="star" points="150,60 162,95 199,95 169,117 180,152 150,130 120,152 131,117 101,95 138,95" fill="#ff8c42" stroke="#b85a14" stroke-width="2"/>
  <ellipse id="cloud" cx="300" cy="90" rx="70" ry="28" fill="#ffffff" stroke="#9fb7cc" stroke-width="2"/>
  <path id="river" d="M240 400 Q 300 340 260 300 T 330 250" fill="none" stroke="#2b7bd6" stroke-width="6"/>
  <polyline id="birds" points="360,160 375,150 390,160 405,150 420,160" fill="none" stroke="#333333" stroke-width="2"/>
  <line id="horizon" x1="20" y1="300" x2="620" y2="300" stroke="#5b7c99" stroke-width="1"/>
</svg>`;
