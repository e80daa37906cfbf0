// Which clip paths follow the art they clip. In a drawing program a clip
// group's clipping path is a path of the group, selected and stretched with
// it; the importer makes a clip path's shapes host paths where one geometry
// in the file can stand for it exactly:
// - its shapes are in the user space of the art that uses it
//   (clipPathUnits userSpaceOnUse, the default; a box of the art's own
//   would change as the art stretches);
// - every element that names it is path art or a group of it that the walk
//   draws, each in the same user space (one geometry cannot follow two),
//   elements drawn nowhere aside, which clip nothing; and the file's CSS
//   names clip paths only where the page can tell which elements it gives
//   them to (see clip_cascade.js);
// - it holds only paths, basic shapes and uses that draw one directly, none
//   of them clipped in turn, and nothing else but descriptions;
// - nothing else links to each shape it draws (or, for a use's target, to
//   an element holding it) but the uses the walk draws, whose copies keep
//   their own geometry when the shape's text is rewritten; and no other
//   clip path or art draws the shape in place.
// The rest stay as the file has them: drawn and kept, never host paths.
// This module judges; the importer's walk reads the shapes it names.

import {attribute, hrefOf, isSvgElement, localName} from './svg_nodes.js';

const SHAPES = new Set(['path', 'rect', 'circle', 'ellipse', 'line', 'polyline', 'polygon']);
const DESCRIPTIVE = new Set(['title', 'desc', 'metadata']);
// Elements whose clip path is in the user space their transform sets (a
// use's, then its x and y), as the importer places them; a viewport's is
// placed otherwise.
export const CLIP_REFERRERS = new Set([...SHAPES, 'g', 'a', 'switch', 'use']);
// What may hold a shape a clip path draws through a use without drawing it
// somewhere the walk does not follow (a pattern, a marker, a mask).
const PLAIN_HOLDERS = new Set(['svg', 'g', 'a', 'switch', 'defs', 'symbol']);
// The clip paths to follow, in the order given: [{clip, reference, members}]
// where reference is the first of the walk's references to it and members
// its shapes in order, each {shape, use} (use null for a child of its own).
// - referenced: Map from each clipPath the walk met to its references
//   [{node, matrix, followable, start, end}], start and end the element
//   indices of the art drawn within the node;
// - ids: the file's elements by id; cascade: its clip paths' cascade
//   (clip_cascade.js);
// - walkedUses: the uses the walk drew; drawn: the nodes of art drawn in
//   place (the walk's instances with no use) and of art CSS places;
//   undisplayed: the elements in place whose display is none.
export function followedClips(doc, {referenced, ids, cascade, walkedUses, drawn, undisplayed}) {
  if (referenced.size === 0 || !cascade.exact) return [];
  const clipReference = cascade.clipOf;
  const naming = new Map(); // clipPath -> the elements naming it
  const links = new Map(); // element -> the elements linking to it by href
  for (const node of doc.getElementsByTagName('*')) {
    const id = clipReference(node);
    const clip = id === null ? undefined : ids.get(id);
    if (clip) push(naming, clip, node);
    const href = hrefOf(node);
    const target = href && href.startsWith('#') ? ids.get(href.slice(1)) : undefined;
    if (target) push(links, target, node);
  }
  const claimed = new Set(drawn);
  const followed = [];
  for (const [clip, references] of referenced) {
    const members = clipMembers(clip, references, naming.get(clip) ?? [], {
      ids,
      links,
      walkedUses,
      claimed,
      clipReference,
      undisplayed,
    });
    if (!members) continue;
    for (const {shape} of members) claimed.add(shape);
    followed.push({clip, reference: references[0], members});
  }
  return followed;
}

// The clip paths that a style sheet setting clip paths names by id, where
// the page cannot tell which art it gives them to: they stay as the file
// has them, and may cut off art a drag stretches.
export function clipsNamedBySheets(sheets, ids) {
  const setting = sheets.filter((text) => /clip-path/i.test(text));
  if (setting.length === 0) return [];
  return [...ids.values()].filter(
    (node) =>
      localName(node) === 'clipPath' &&
      isSvgElement(node) &&
      setting.some((text) => text.includes(`#${attribute(node, 'id')}`)),
  );
}

// Whether a clip path's shapes are in the box of the art it clips, which
// follows that art by itself (exactly, for a stretch along x or y).
export function inBoundingBoxUnits(clip) {
  return attribute(clip, 'clipPathUnits')?.trim() === 'objectBoundingBox';
}

function clipMembers(clip, references, naming, {ids, links, walkedUses, claimed, clipReference, undisplayed}) {
  if (inBoundingBoxUnits(clip)) return null;
  if (clipReference(clip) !== null) return null;
  const nodes = new Set(references.map((reference) => reference.node));
  const namingElsewhere = (node) => !nodes.has(node) && !neverDrawn(node, links, undisplayed);
  if (!references.every((reference) => reference.followable) || naming.some(namingElsewhere)) return null;
  if (!references.some((reference) => reference.end > reference.start)) return null;
  const [first] = references;
  if (!references.every((reference) => reference.matrix.every((value, k) => value === first.matrix[k]))) return null;
  const members = [];
  const mine = new Set();
  for (let child = clip.firstChild; child; child = child.nextSibling) {
    if (child.nodeType !== 1 || !isSvgElement(child)) continue;
    const name = localName(child);
    if (DESCRIPTIVE.has(name)) continue;
    let shape = child;
    let use = null;
    if (name === 'use') {
      use = child;
      const href = hrefOf(use);
      shape = href && href.startsWith('#') ? ids.get(href.slice(1)) : undefined;
      if (!shape || clipReference(use) !== null) return null;
    }
    if (!isSvgElement(shape) || !SHAPES.has(localName(shape)) || clipReference(shape) !== null) return null;
    if (claimed.has(shape) || mine.has(shape)) return null;
    // Whatever else draws the shape is a use the walk drew, which keeps
    // the geometry of its own copy.
    const drawnElsewhere = (holder) => (links.get(holder) ?? []).some((from) => from !== use && !walkedUses.has(from));
    if (drawnElsewhere(shape)) return null;
    if (use) {
      for (let holder = shape.parentNode; holder && holder.nodeType === 1; holder = holder.parentNode) {
        if (!isSvgElement(holder) || !PLAIN_HOLDERS.has(localName(holder)) || drawnElsewhere(holder)) return null;
      }
    }
    mine.add(shape);
    members.push({shape, use});
  }
  return members.length > 0 ? members : null;
}

// Whether an element is drawn nowhere: it sits in defs, a symbol or an
// element not displayed, within plain holders only, and nothing links to it
// or to what holds it. So it clips nothing, as browsers draw it; an export
// leaves such an element where a use drew it, the use written as a group
// holding a copy.
function neverDrawn(node, links, undisplayed) {
  let hidden = false;
  for (let holder = node; holder && holder.nodeType === 1; holder = holder.parentNode) {
    if (links.has(holder)) return false;
    hidden ||= undisplayed.has(holder);
    if (holder === node) continue;
    if (!isSvgElement(holder) || !PLAIN_HOLDERS.has(localName(holder))) return false;
    hidden ||= localName(holder) === 'defs' || localName(holder) === 'symbol';
  }
  return hidden;
}

// The element indices of each clip group: a followed clip path's shapes
// with all the art drawn within the elements that name it, nested clip
// groups within the one that holds them. `clips`: [{ranges: [[start,
// end]...], shapes: [start, end]}], each range the art drawn within one
// element naming it, in element indices.
export function clipGroups(clips) {
  const parent = clips.map((_, k) => k);
  const root = (k) => (parent[k] === k ? k : (parent[k] = root(parent[k])));
  const ranges = clips
    .flatMap((clip, k) => clip.ranges.filter(([start, end]) => end > start).map(([start, end]) => ({start, end, k})))
    .sort((a, b) => a.start - b.start || b.end - a.end);
  // Ranges nest as the elements do: each outermost one takes in those
  // within it, and their clip groups become one.
  const outermost = [];
  for (const range of ranges) {
    const open = outermost.at(-1);
    if (open && range.start < open.end) {
      parent[root(range.k)] = root(open.k);
      open.end = Math.max(open.end, range.end);
    } else {
      outermost.push({...range});
    }
  }
  const groups = new Map();
  const add = (k, start, end) => {
    const key = root(k);
    if (!groups.has(key)) groups.set(key, []);
    for (let i = start; i < end; i++) groups.get(key).push(i);
  };
  for (const {start, end, k} of outermost) add(k, start, end);
  clips.forEach((clip, k) => add(k, ...clip.shapes));
  return [...groups.values()];
}

function push(map, key, value) {
  const list = map.get(key);
  if (list) list.push(value);
  else map.set(key, [value]);
}
