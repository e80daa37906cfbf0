// The importer's XML parser under node: @xmldom/xmldom, with errors thrown
// (as the browser's DOMParser reports them) and warnings ignored.
import {DOMParser} from '@xmldom/xmldom';

export function parseXml(text) {
  const onError = (level, message) => {
    if (level !== 'warning') throw new Error(message);
  };
  return new DOMParser({onError}).parseFromString(text, 'image/svg+xml');
}
