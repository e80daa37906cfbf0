// The opened file as the page keeps it: its text, its parsed document, its
// drawn elements (each path and basic shape, once for every <use> that
// draws it) and the map from host paths to them. The host's document holds
// the geometry; this holds what the host does not (the file's structure,
// paint, definitions, text and images) and the names that tie each host
// path to its element and contour. The host copies a path's name with the
// path, so a name seen a second time in paint order is a copy the plug-in
// made, lying above the path it copies.
//
// The geometry the file itself gives each element is kept as read, to tell
// which elements the host has changed: the others are drawn and written as
// the file has them.
import {FLIP, importSvg} from './svg_import.js';
import {numberElements} from './svg_source.js';

const INKSCAPE_NS = 'http://www.inkscape.org/namespaces/inkscape';
const SODIPODI_NS = 'http://sodipodi.sourceforge.net/DTD/sodipodi-0.dtd';

export class SvgDocument {
  // Throws an SvgImportError with one line for a file the page cannot take.
  constructor(text, fileName, parseXml) {
    const {
      paths,
      elements,
      doc,
      useGeometry,
      canvas,
      canvasStated,
      rootMatrix,
      flawedPaths,
      unstretched,
      placedByCss,
      clipGroups,
      clipsKept,
    } = importSvg(text, parseXml);
    this.text = text;
    this.unstretched = unstretched; // 'text', 'image': drawn, never host paths
    this.placedByCss = placedByCss; // paths and shapes CSS may move beyond following: drawn, never host paths
    this.flawedPaths = flawedPaths; // elements drawn only up to an error in their path data
    this.clipsKept = clipsKept; // clip paths of path art that stay as the file has them
    // Each clip group's elements (its clip path's shapes and the art it
    // clips), selected together as a drawing program selects a clip group.
    this.clipGroups = clipGroups;
    this.clipGroupOf = new Int32Array(elements.length).fill(-1);
    clipGroups.forEach((members, group) => {
      for (const index of members) this.clipGroupOf[index] = group;
    });
    this.fileName = fileName;
    this.doc = doc;
    this.paths = paths;
    this.elements = elements;
    this.useGeometry = useGeometry;
    this.canvas = canvas; // [x, y, width, height] in artwork coordinates with y down
    this.canvasStated = canvasStated; // given by the file, not taken for want of a size
    // From artwork coordinates to the root's user space, in which the
    // status bar gives the pointer (y down alone where the root's transform
    // flattens it).
    this.fileFromArtwork = inverse(rootMatrix) ?? FLIP;
    // Every element of the file in document order; an element's number is
    // its place here.
    this.nodes = numberElements(doc.documentElement);
    this.serialOf = new Map(this.nodes.map((node, serial) => [node, serial]));
    // What is drawn of each path whose data has an error, by element number.
    this.drawnPathData = new Map([...flawedPaths].map(([node, {drawn}]) => [this.serialOf.get(node), drawn]));
    this.names = uniqueNames(paths.map((path) => path.name));
    this.placeOfName = new Map(this.names.map((name, index) => [name, index]));
    // The file's geometry for each of its paths, six floats a segment; the
    // importer's arrays of it are let go.
    this.baseline = paths.map((path) => {
      const floats = Float32Array.from(path.segments.flat());
      delete path.segments;
      return floats;
    });
    // Element instances by the chain of uses drawing them and their node.
    this.byKey = new Map();
    elements.forEach((element, index) => {
      element.serial = this.serialOf.get(element.node);
      element.chain = element.uses.map((use) => this.serialOf.get(use));
      // From artwork coordinates to the element's own (null when its
      // transforms flatten it), and from its own to artwork coordinates
      // with y down, in which the view's layers draw.
      element.fromArtwork = inverse(element.matrix);
      element.toLayer = multiply(FLIP, element.matrix);
      this.byKey.set(instanceKey(element.chain, element.serial), index);
    });
    // Art Inkscape has locked (sodipodi:insensitive on it or on a group
    // around where it is drawn, a background layer most often, whatever
    // the value, as Inkscape reads it) stays host art, drawn and kept, but
    // is never selected, as a drawing program never selects locked art; a
    // clip group is locked whole when any of it is, so its clip never
    // leaves its art.
    this.locked = lockedElements(elements);
    for (const members of clipGroups) {
      if (members.some((index) => this.locked[index])) for (const index of members) this.locked[index] = 1;
    }
    this.lockedCount = this.locked.reduce((sum, locked) => sum + locked, 0);
    this.inPlace = new Map();
    elements.forEach((element, index) => {
      if (element.chain.length === 0) this.inPlace.set(element.serial, index);
    });
  }

  // The host world's paths: every contour of the file, all selected but
  // locked art, its segments six floats each.
  worldPaths() {
    return this.paths.map((path, i) => ({
      name: this.names[i],
      selected: !this.locked[path.element],
      closed: path.closed,
      segments: this.baseline[i],
    }));
  }

  // Whether the host path named `name` (or a copy of it) is locked art.
  lockedPath(name) {
    const index = this.placeOfName.get(name);
    return index !== undefined && this.locked[this.paths[index].element] === 1;
  }

  // Host paths grouped by the file's paths they come from: {current, copies,
  // loose}. current[i] is the host path of the file's path i (undefined when
  // the host has none), copies.get(i) the copies above it in paint order, and
  // loose the places of host paths no element has.
  group(hostPaths) {
    const current = new Array(this.paths.length);
    const copies = new Map();
    const loose = [];
    for (let place = 0; place < hostPaths.length; place++) {
      const path = hostPaths[place];
      const index = this.placeOfName.get(path.name);
      if (index === undefined) {
        loose.push(place);
      } else if (current[index] === undefined) {
        current[index] = path;
        path.place = place;
      } else {
        path.place = place;
        const list = copies.get(index);
        if (list) list.push(path);
        else copies.set(index, [path]);
      }
    }
    return {current, copies, loose};
  }

  // Whether a host path's segments are not those the file gives its path.
  differs(index, segments) {
    const base = this.baseline[index];
    if (!segments || base.length !== segments.length) return true;
    for (let i = 0; i < base.length; i++) if (!Object.is(base[i], segments[i])) return true;
    return false;
  }

  // The elements selected with element `index`: its clip group (the same
  // array for each of its elements), or itself.
  selectedWith(index) {
    const group = this.clipGroupOf[index];
    return group < 0 ? [index] : this.clipGroups[group];
  }

  // The host paths of one copy of an element (0 the element itself), by
  // contour, each contour its pieces in order; null when the host has none.
  instancePaths(elementIndex, copy, grouping) {
    const element = this.elements[elementIndex];
    let found = false;
    const contours = element.paths.map((pieces) =>
      pieces.map((index) => {
        const path = copy === 0 ? grouping.current[index] : grouping.copies.get(index)?.[copy - 1];
        if (path) found = true;
        return path;
      }),
    );
    return found ? contours : null;
  }

  // The groups element `index` is drawn in, innermost first, each as the
  // indices of the elements drawn in it (a use's drawing in the use's
  // place): what selecting the art by its group takes. A group holding
  // just what the one inside it holds is left out, and so are a layer (an
  // Inkscape group marked as one) and everything around it, as drawing
  // programs never select a layer by its art.
  groupsAround(index) {
    const element = this.elements[index];
    const placed = (other) => this.nodes[other.chain[0] ?? other.serial];
    const groups = [];
    const here = placed(element);
    let previous = this.elements.filter((other) => placed(other) === here).length;
    for (let node = here.parentNode; node && node !== this.doc.documentElement; node = node.parentNode) {
      if (node.getAttributeNS?.(INKSCAPE_NS, 'groupmode') === 'layer') break;
      const members = this.elements.flatMap((other, i) => (node.contains(placed(other)) ? [i] : []));
      if (members.length > previous) groups.push(members);
      previous = members.length;
    }
    return groups;
  }

  // The number of copies the host holds of an element.
  copyCount(elementIndex, grouping) {
    let most = 0;
    for (const pieces of this.elements[elementIndex].paths) {
      for (const index of pieces) most = Math.max(most, grouping.copies.get(index)?.length ?? 0);
    }
    return most;
  }

  // The element drawn by the uses `chain` of `serial`, or undefined.
  instanceAt(chain, serial) {
    return this.byKey.get(instanceKey(chain, serial));
  }

  // Which chains of uses must be drawn and written as plain copies of what
  // they draw, each a key of the use serials, outermost first: a use whose
  // elements are changed or copied, or whose drawing goes through text that
  // is itself rewritten (an element changed in place, or a use that became
  // a group), until no more follow. `changed(i)` tells whether element i
  // differs from the file; `copied(i)` whether the host holds copies of it.
  expandedUses(changed, copied) {
    const rewritten = new Set();
    for (const [serial, index] of this.inPlace) if (changed(index)) rewritten.add(serial);
    const expanded = new Set();
    for (let grew = true; grew;) {
      grew = false;
      this.elements.forEach((element, index) => {
        const {chain} = element;
        if (chain.length === 0) return;
        const moved = changed(index) || copied(index);
        for (let k = 0; k < chain.length; k++) {
          const key = chain.slice(0, k + 1).join(',');
          if (expanded.has(key)) continue;
          if (moved || rewritten.has(element.serial) || chain.slice(k + 1).some((serial) => rewritten.has(serial))) {
            expanded.add(key);
            if (k === 0) rewritten.add(chain[0]);
            grew = true;
          }
        }
      });
    }
    return expanded;
  }
}

// 1 for each element drawn where it, or a group around it, is locked.
function lockedElements(elements) {
  const known = new Map();
  const locked = (node) => {
    if (!node || node.nodeType !== 1) return false;
    let answer = known.get(node);
    if (answer === undefined) {
      answer = node.hasAttributeNS(SODIPODI_NS, 'insensitive') || locked(node.parentNode);
      known.set(node, answer);
    }
    return answer;
  };
  return Uint8Array.from(elements, (element) => (locked(element.uses[0] ?? element.node) ? 1 : 0));
}

export function instanceKey(chain, serial) {
  return `${chain.join(',')}|${serial}`;
}

function uniqueNames(names) {
  const seen = new Map();
  return names.map((name) => {
    const count = (seen.get(name) ?? 0) + 1;
    seen.set(name, count);
    return count === 1 ? name : `${name} (${count})`;
  });
}

// The matrix of `inner` applied first, then `outer`.
export function multiply(outer, inner) {
  const [a, b, c, d, e, f] = outer;
  const [p, q, r, s, t, u] = inner;
  return [a * p + c * q, b * p + d * q, a * r + c * s, b * r + d * s, a * t + c * u + e, b * t + d * u + f];
}

// The inverse matrix, or null for one that flattens the plane.
export function inverse([a, b, c, d, e, f]) {
  const det = a * d - b * c;
  if (!Number.isFinite(det) || Math.abs(det) < 1e-300) return null;
  return [d / det, -b / det, -c / det, a / det, (c * f - d * e) / det, (b * e - a * f) / det];
}
