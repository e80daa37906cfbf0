// Reading a parsed file's nodes the same way wherever the page reads them:
// by namespace, not prefix, and with no attribute taken for an empty one.

export const SVG_NS = 'http://www.w3.org/2000/svg';
export const XLINK_NS = 'http://www.w3.org/1999/xlink';

// An attribute's value, or null where the node has none (or is no element).
export function attribute(node, key) {
  return node.hasAttribute && node.hasAttribute(key) ? node.getAttribute(key) : null;
}

export function attributeNS(node, namespace, key) {
  return node.hasAttributeNS && node.hasAttributeNS(namespace, key) ? node.getAttributeNS(namespace, key) : null;
}

export function localName(node) {
  return node.localName ?? node.nodeName;
}

// Whether a node is SVG: in its namespace, or in none at all, as a file
// without xmlns has its elements, which drawing programs read as SVG.
export function isSvgElement(node) {
  return node.namespaceURI === SVG_NS || node.namespaceURI === null || node.namespaceURI === undefined;
}

// A link's target as browsers take it: href, else xlink:href (by its
// namespace, or by its name where the file declares no namespace for it).
export function hrefOf(node) {
  return attribute(node, 'href') ?? attributeNS(node, XLINK_NS, 'href') ?? attribute(node, 'xlink:href');
}
