// What the status bar says of the pointer: where it is as the host is told
// it (a 32-bit float) in the drawing's own coordinates, and during a
// slantWarper drag the stretch that drag makes, so a designer can aim at a
// stretch, a flattening or a mirror of a given size.

// The plug-in's stretch: the paths scale along the drag by one plus its
// length over STRETCH_UNITS artwork units (minus with Shift), the part
// added at most STRETCH_LIMIT. The plug-in's own values are kDragDivisor
// and kFactorLimit (bridge/globals.h, tool/geometry.h); these must match.
const STRETCH_UNITS = 200;
const STRETCH_LIMIT = 100;

// point: the artwork point (host coordinates, y up); toFile: for a file,
// the matrix from artwork coordinates to its root's user space, in which
// the file and drawing programs give coordinates (y down, in the file's
// own units), where a scenario's world (null) keeps the host's; dragStart:
// the artwork point a slantWarper drag under way was pressed at, else
// null; shift: Shift as the drag has it. The stretch is the scale along
// the drag in per cent (negative where it mirrors) and the drag's angle,
// counterclockwise from the x axis, both of the host's units, in which the
// plug-in stretches.
export function pointerReadout(point, {toFile, dragStart, shift}) {
  const [x, y] = point.map(Math.fround);
  const [fx, fy] = toFile ? apply(toFile, x, y) : [x, y];
  const readout = `x ${fx.toFixed(1)}, y ${fy.toFixed(1)}`;
  if (!dragStart) return readout;
  const [dx, dy] = [x - Math.fround(dragStart[0]), y - Math.fround(dragStart[1])];
  const scale = 1 + (shift ? -1 : 1) * Math.min(STRETCH_LIMIT, Math.hypot(dx, dy) / STRETCH_UNITS);
  const angle = (Math.atan2(dy, dx) * 180) / Math.PI;
  return `${readout}; stretch ${Math.round(scale * 1000) / 10} % at ${angle.toFixed(1)}°`;
}

function apply([a, b, c, d, e, f], x, y) {
  return [a * x + c * y + e, b * x + d * y + f];
}
